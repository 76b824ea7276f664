#pragma once
// Text files the program shares with installations moved from the old
// system: myapp.ini and errorlog.txt were written in the Chinese code page
// there.  They are read as UTF-8 when they are valid UTF-8, else as GB18030
// (which contains GBK) when they read cleanly as that, and are always written
// back as UTF-8.
#include <QByteArray>
#include <QString>

// The file's bytes as text; a leading UTF-8 byte-order mark is dropped.
QString decodeLocalText(const QByteArray& bytes);
