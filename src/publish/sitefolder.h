#pragma once

#include <QByteArray>
#include <QString>

// The folder a site is published to. The pages are written into a new folder beside it and
// swapped in by commit(), so a web server serving the folder never sees half a site and a failed
// run leaves the previous site as it was.
//
// A run that is killed cannot remove its new folder. Each run holds a lock on its own folder
// while it lives, and removes the folders of earlier runs for the same target whose lock nobody
// holds any more; a run under way at the same moment keeps its folder.
class SiteFolder {
public:
    // Throws racr::Error when `target` exists but is not a site this program published (a folder
    // with other files, a file): it would be replaced as a whole.
    explicit SiteFolder(const QString& target);
    ~SiteFolder();
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;

    // `name` is a plain file name made by the program, never a path. Throws racr::Error naming
    // the file and the system's reason ("No space left on device").
    void write(const QString& name, const QByteArray& bytes);
    // Puts the new site in the target's place; the previous one is removed.
    void commit();

    // The file that marks a folder as a published site, written into every site.
    static const QString kMarker;

private:
    void makeStaging(const QString& parent, const QString& prefix);
    void removeStale(const QString& parent, const QString& prefix) const;

    QString m_target;
    QString m_staging;          // the new site's folder; empty once it is the target
    int m_stagingLock = -1;     // a descriptor of the new folder, locked while this run lives
};
