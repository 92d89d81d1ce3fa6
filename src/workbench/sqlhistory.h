#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The statements the user has run, oldest first, kept in a file of the program folder so that
// they outlive the run (never in the user's database). Walked like a shell's history: older()
// and newer() step through it, and stepping past the newest gives back what was being typed.
//
// Several windows (several running programs) may share one program folder: each statement is
// added to what the file holds at that moment, under a lock of a file of its own beside it
// ("<file>.lock"), so no window's statements replace another's.
class SqlHistory {
public:
    static constexpr int defaultLimit = 500;

    // Reads the file when there is one. Of a damaged file the statements before the damage are
    // kept and the file is moved aside to "<file>.damaged" (".damaged.2", ".damaged.3", ... when
    // an earlier damaged copy holds that name, so every copy stays); a file that cannot be read
    // or moved aside is never written over (add() then keeps statements for this run only).
    explicit SqlHistory(QString filePath, int limit = defaultLimit);

    // What went wrong with the file at the start, for the user to read once; empty when nothing.
    QString problem() const { return m_problem; }

    // Keeps a statement that is being run (blank ones and a repeat of the newest are not kept),
    // adds it to the file's statements (those of other windows included), drops the oldest beyond
    // the limit, writes the file and ends any walk through the history. Returns false when the
    // file could not be written; the statement is kept for this run and written with the next.
    bool add(const QString& statement);

    QStringList entries() const { return m_entries; }

    // One step back or forward from the editor's text `current`; nothing at either end.
    std::optional<QString> older(const QString& current);
    std::optional<QString> newer();

private:
    // Appends the file's statements to `entries`; false when the file cannot be used (m_problem
    // says why). A damaged file is moved aside only by a holder of the lock.
    bool read(QStringList& entries, bool& movedAside, bool locked);
    bool save(const QStringList& entries) const;
    void keep(QStringList& entries) const;

    QString m_filePath;
    int m_limit;
    QStringList m_entries;
    QStringList m_unsaved;      // added in this run and not yet in the file
    qsizetype m_position = 0;   // m_entries.size() while not walking
    QString m_draft;            // the editor's text when the walk began
    QString m_problem;
    bool m_saving = true;
};
