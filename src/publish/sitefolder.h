#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The folder a site is published to. The pages are written into a new folder beside it and
// swapped in by commit(), so a web server serving the folder never sees half a site and a failed
// run leaves the previous site as it was.
class SiteFolder {
public:
    // Throws racr::Error when `target` exists but is not a site this program published (a folder
    // with other files, a file): it would be replaced as a whole.
    explicit SiteFolder(const QString& target);
    ~SiteFolder();
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;

    // `name` is a plain file name made by the program, never a path.
    void write(const QString& name, const QByteArray& bytes);
    // Puts the new site in the target's place; the previous one is removed.
    void commit();

    // The file that marks a folder as a published site, written into every site.
    static const QString kMarker;

private:
    QString m_target;
    std::unique_ptr<QTemporaryDir> m_staging;
};
