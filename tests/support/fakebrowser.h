#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

// Takes the web pages the program hands to the desktop, as a web browser would, while it lives.
class FakeBrowser : public QObject {
    Q_OBJECT

public:
    FakeBrowser();
    ~FakeBrowser() override;

    QStringList opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url.toString()); }
};
