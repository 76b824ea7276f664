#include "app/common.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/inifile.h"
#include "tools/dbinit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void read_data();
    void read();
    void missingFileReadsEmpty();
    void writeCreatesFileAndSection();
    void replaceKeepsOtherContent();
    void newKeyGoesToEndOfItsSection();
    void longValueReadWhole();
    void lineBreakInValueStaysOneEntry();
    void unwritableFileThrows();
    void oldGbkFileKeptWhole();

private:
    void writeFile(const QByteArray& bytes) const;
    QByteArray fileBytes() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    setAppPath(m_dir->path());
}

void TestIniFile::writeFile(const QByteArray& bytes) const
{
    QFile file(IniFileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestIniFile::fileBytes() const
{
    QFile file(IniFileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void TestIniFile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QByteArray crlf = QStringLiteral("[Other]\r\nrp正常户=别的\r\n[DataDic]\r\n; 注释=不是值\r\n"
                                           "rp正常户 =  正常户  \r\nKey=a=b\r\n\r\n")
                                .toUtf8();
    QTest::newRow("Chinese key") << crlf << QStringLiteral("DataDic") << QStringLiteral("rp正常户")
                                 << QStringLiteral("正常户");
    QTest::newRow("section other case")
        << crlf << QStringLiteral("datadic") << QStringLiteral("rp正常户") << QStringLiteral("正常户");
    QTest::newRow("key other case") << crlf << QStringLiteral("DataDic") << QStringLiteral("KEY")
                                    << QStringLiteral("a=b");
    QTest::newRow("other section's key")
        << crlf << QStringLiteral("Other") << QStringLiteral("rp正常户") << QStringLiteral("别的");
    QTest::newRow("comment is no entry")
        << crlf << QStringLiteral("DataDic") << QStringLiteral("; 注释") << QString();
    QTest::newRow("missing section") << crlf << QStringLiteral("Nothing") << QStringLiteral("Key")
                                     << QString();
    QTest::newRow("missing key") << crlf << QStringLiteral("DataDic") << QStringLiteral("税务状态")
                                 << QString();
    // GBK from the old system, and UTF-8 with one damaged byte, which must
    // not be taken for GBK as a whole.
    QTest::newRow("GBK file") << QByteArray(
                                     "[DataDic]\r\nrp\xd5\xfd\xb3\xa3\xbb\xa7=\xd5\xfd\xb3\xa3\xbb\xa7\r\n")
                              << QStringLiteral("DataDic") << QStringLiteral("rp正常户")
                              << QStringLiteral("正常户");
    QTest::newRow("UTF-8 with a stray byte")
        << (QStringLiteral("[DataDic]\r\nrp正常户=正常户\r\n税户类型=甲").toUtf8() + QByteArray("\xff\r\n"))
        << QStringLiteral("DataDic") << QStringLiteral("rp正常户") << QStringLiteral("正常户");
    QTest::newRow("LF line ends") << QByteArray("[DataDic]\nA=1\nB=2\n") << QStringLiteral("DataDic")
                                  << QStringLiteral("B") << QStringLiteral("2");
    QTest::newRow("BOM") << (QByteArray("\xEF\xBB\xBF") +
                             QStringLiteral("[DataDic]\r\n税户类型=个体\r\n").toUtf8())
                         << QStringLiteral("DataDic") << QStringLiteral("税户类型") << QStringLiteral("个体");
    QTest::newRow("no final line end") << QByteArray("[DataDic]\r\nA=last") << QStringLiteral("DataDic")
                                       << QStringLiteral("A") << QStringLiteral("last");
}

void TestIniFile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    writeFile(file);
    QCOMPARE(readIniValue(IniFileName, section, key), expected);
}

void TestIniFile::missingFileReadsEmpty()
{
    QCOMPARE(readIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("税户类型")), QString());
    QVERIFY(!QFile::exists(IniFileName));
}

void TestIniFile::writeCreatesFileAndSection()
{
    writeIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("税户类型"),
                  QStringLiteral("个体,企业"));
    QCOMPARE(fileBytes(), QStringLiteral("[DataDic]\r\n税户类型=个体,企业\r\n").toUtf8());

    writeIniValue(IniFileName, QStringLiteral("Other"), QStringLiteral("k"), QStringLiteral("v"));
    QCOMPARE(fileBytes(),
             QStringLiteral("[DataDic]\r\n税户类型=个体,企业\r\n\r\n[Other]\r\nk=v\r\n").toUtf8());
    QCOMPARE(readIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("税户类型")),
             QStringLiteral("个体,企业"));
}

void TestIniFile::replaceKeepsOtherContent()
{
    writeFile(QByteArray("\xEF\xBB\xBF") +
              QStringLiteral(
                  "; 设置\n[DataDic]\nrp停业户=停业\n税务状态=旧\nrp注销户=注销\n\n[Other]\n税务状态=别的\n")
                  .toUtf8());
    writeIniValue(IniFileName, QStringLiteral("datadic"), QStringLiteral("税务状态"),
                  QStringLiteral("正常户,停业户"));
    QCOMPARE(fileBytes(), QStringLiteral("; 设置\r\n[DataDic]\r\nrp停业户=停业\r\n税务状态=正常户,停业户\r\n"
                                         "rp注销户=注销\r\n\r\n[Other]\r\n税务状态=别的\r\n")
                              .toUtf8());
}

void TestIniFile::newKeyGoesToEndOfItsSection()
{
    writeFile("[DataDic]\r\nA=1\r\n\r\n[Other]\r\nB=2\r\n");
    writeIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("C"), QStringLiteral("3"));
    QCOMPARE(fileBytes(), QByteArray("[DataDic]\r\nA=1\r\nC=3\r\n\r\n[Other]\r\nB=2\r\n"));

    // The class itself, as the free functions use it.
    IniFile ini;
    QVERIFY(ini.load(IniFileName));
    ini.setValue(QStringLiteral("other"), QStringLiteral("b"), QStringLiteral(" 4 "));
    QCOMPARE(ini.value(QStringLiteral("Other"), QStringLiteral("B")), QStringLiteral("4"));
}

void TestIniFile::longValueReadWhole()
{
    QStringList items;
    for (int i = 0; i < 400; ++i)
        items << QStringLiteral("行业种类%1").arg(i);
    const QString value = items.join(QLatin1Char(','));
    QVERIFY(value.toUtf8().size() > 4000);

    writeIniList(items, IniFileName, QStringLiteral("DataDic"), QStringLiteral("行业种类"));
    QCOMPARE(readIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("行业种类")), value);
    QStringList back;
    readIniList(back, IniFileName, QStringLiteral("DataDic"), false, QStringLiteral("行业种类"));
    QCOMPARE(back, items);
}

void TestIniFile::lineBreakInValueStaysOneEntry()
{
    writeIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("A"),
                  QStringLiteral("x\r\n[Evil]\nB=1"));
    QCOMPARE(readIniValue(IniFileName, QStringLiteral("DataDic"), QStringLiteral("A")),
             QStringLiteral("x [Evil] B=1"));
    QCOMPARE(readIniValue(IniFileName, QStringLiteral("Evil"), QStringLiteral("B")), QString());
}

void TestIniFile::unwritableFileThrows()
{
    const QString missing = m_dir->filePath(QStringLiteral("no-such-folder/myapp.ini"));
    try {
        writeIniValue(missing, QStringLiteral("DataDic"), QStringLiteral("A"), QStringLiteral("1"));
        QFAIL("no error for an unwritable settings file");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("设置文件")), qPrintable(e.message()));
    }
}

// A settings file moved from the old system is in GBK: it reads as it says,
// and writing one entry keeps every other one (now in UTF-8).
void TestIniFile::oldGbkFileKeptWhole()
{
    const QString shipped = QString::fromUtf8(dbinit::defaultSettings());
    QVERIFY(shipped.contains(QStringLiteral("rp临时共管户")));
    QStringEncoder toGbk("GBK");
    QVERIFY(toGbk.isValid());
    const QByteArray gbk = toGbk(shipped);
    QVERIFY(!toGbk.hasError());
    QVERIFY(gbk != shipped.toUtf8());
    writeFile(gbk);

    // Every entry of the shipped file, as the shipped UTF-8 file reads.
    IniFile reference;
    QTemporaryDir other;
    const QString utf8File = other.filePath(QStringLiteral("myapp.ini"));
    {
        QFile f(utf8File);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(shipped.toUtf8());
    }
    QVERIFY(reference.load(utf8File));
    QStringList keys;
    for (const QString& line : shipped.split(QLatin1Char('\n')))
        if (line.contains(QLatin1Char('=')))
            keys << line.section(QLatin1Char('='), 0, 0).trimmed();
    QCOMPARE(keys.size(), 13);
    const QString section = QStringLiteral("DataDic");
    for (const QString& key : std::as_const(keys))
        QCOMPARE(readIniValue(IniFileName, section, key), reference.value(section, key));

    QStringList trades{QStringLiteral("餐饮业"), QStringLiteral("新行业")};
    writeIniList(trades, IniFileName, section, QStringLiteral("行业种类"));

    const QByteArray written = fileBytes();
    QStringDecoder strict(QStringDecoder::Utf8);
    const QString text = strict(written);
    QVERIFY(!strict.hasError());
    QVERIFY(!text.contains(QChar::ReplacementCharacter));
    for (const QString& key : std::as_const(keys)) {
        const QString expected = key == QStringLiteral("行业种类") ? QStringLiteral("餐饮业,新行业")
                                                                   : reference.value(section, key);
        QCOMPARE(readIniValue(IniFileName, section, key), expected);
    }
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
