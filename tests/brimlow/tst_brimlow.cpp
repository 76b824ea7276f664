// The transfer folder's life: created with its parents, removed with its
// contents, and never a step outside it through a symbolic link.
#include "brimlow/brimlow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

QByteArray u8(const QString& s)
{
    return s.toUtf8();
}

} // namespace

class TestBrimlow : public QObject {
    Q_OBJECT
private slots:
    void mdCreatesParents_data();
    void mdCreatesParents();
    void delTreeRemovesEverything();
    void delTreeNeverFollowsLinks();
    void delTreeOnLinkRemovesOnlyTheLink();
    void delTreeOfMissingFolder();
};

void TestBrimlow::mdCreatesParents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("existsBefore");
    QTest::newRow("new folder") << "tmp" << false;
    QTest::newRow("new parents") << "a/b/c/tmp" << false;
    QTest::newRow("trailing slash") << "a/b/tmp/" << false;
    QTest::newRow("exists already") << "tmp" << true;
}

void TestBrimlow::mdCreatesParents()
{
    QFETCH(QString, path);
    QFETCH(bool, existsBefore);
    QTemporaryDir dir;
    const QString full = dir.filePath(path);
    if (existsBefore) {
        QVERIFY(QDir().mkpath(full));
        touch(full + "/kept.dat");
    }
    QCOMPARE(md(u8(full).constData()), 1);
    QVERIFY(QFileInfo(full).isDir());
    QCOMPARE(QFileInfo::exists(full + "/kept.dat"), existsBefore);
}

void TestBrimlow::delTreeRemovesEverything()
{
    QTemporaryDir dir;
    const QString tmp = dir.filePath("tmp");
    touch(tmp + "/taxer.dat");
    touch(tmp + "/.hidden");
    touch(tmp + "/sub/deeper/area.dat");
    QFile::setPermissions(tmp + "/taxer.dat", QFileDevice::ReadOwner);
    QCOMPARE(delTree(u8(tmp).constData(), 1), 1);
    QVERIFY(!QFileInfo::exists(tmp));
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void TestBrimlow::delTreeNeverFollowsLinks()
{
    QTemporaryDir dir;
    const QString outside = dir.filePath("precious");
    touch(outside + "/keep.dat");
    const QString tmp = dir.filePath("tmp");
    touch(tmp + "/a.dat");
    QVERIFY(QFile::link(outside, tmp + "/link-to-folder"));
    QVERIFY(QFile::link(outside + "/keep.dat", tmp + "/link-to-file"));
    QCOMPARE(delTree(u8(tmp).constData(), 1), 1);
    QVERIFY(!QFileInfo::exists(tmp));
    QVERIFY(QFileInfo::exists(outside + "/keep.dat"));
}

void TestBrimlow::delTreeOnLinkRemovesOnlyTheLink()
{
    QTemporaryDir dir;
    const QString outside = dir.filePath("precious");
    touch(outside + "/keep.dat");
    const QString tmp = dir.filePath("tmp");
    QVERIFY(QFile::link(outside, tmp));
    QCOMPARE(delTree(u8(tmp).constData(), 1), 1); // the link is gone: success
    QVERIFY(!QFileInfo(tmp).isSymLink());
    QVERIFY(QFileInfo::exists(outside + "/keep.dat"));
}

void TestBrimlow::delTreeOfMissingFolder()
{
    QTemporaryDir dir;
    QCOMPARE(delTree(u8(dir.filePath("none")).constData(), 1), 1);
    QCOMPARE(delTree(nullptr, 1), 0);
    QCOMPARE(md(nullptr), 0);
}

QTEST_GUILESS_MAIN(TestBrimlow)
#include "tst_brimlow.moc"
