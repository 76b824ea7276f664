#pragma once
// The settings file myapp.ini in the Windows initialisation-file layout:
// "[section]" lines and "key=value" entries.  Section and key names compare
// ignoring letter case; a missing file, section or key reads as empty text.
// The file is UTF-8 (a leading BOM is accepted; a file of the old system in
// GBK is read as such), read with CR LF or LF line ends and written whole as
// UTF-8 with CR LF, so a failed save leaves the old file.
#include <QString>
#include <QStringList>

class IniFile {
public:
    // Reads the file; a missing file is an empty one.  Returns false only
    // when the file exists but cannot be read.
    bool load(const QString& fileName);

    // The value after the first "=", trimmed of blanks; empty when missing.
    QString value(const QString& section, const QString& key) const;

    // Replaces the key's value in place, or appends the key at the end of its
    // section, or appends the section at the end of the file.
    void setValue(const QString& section, const QString& key, const QString& value);

    // Writes the file whole; throws DbError when it cannot be written.
    void save() const;

    const QString& fileName() const { return m_fileName; }

private:
    // Line index of the section's header, or -1.
    qsizetype findSection(const QString& section) const;
    // Line index of the key inside the section starting after header, or -1.
    qsizetype findKey(qsizetype header, const QString& key) const;
    // Index one past the section's last line.
    qsizetype sectionEnd(qsizetype header) const;

    QString m_fileName;
    QStringList m_lines;
};
