#pragma once

#include <QTextBrowser>

// The page area of the viewers. ShowHtmlText replaces the shown page with a complete HTML
// document; an empty text gives an empty page. Links are not followed inside the view.
class HtmlView : public QTextBrowser {
    Q_OBJECT

public:
    explicit HtmlView(QWidget* parent = nullptr);

    void ShowHtmlText(const QString& html);
};
