// The data grid over a dataset: current row both ways, header sorting,
// column set-up, Ctrl+Delete through the confirmation box.
#include "app/common.h"
#include "app/dataset.h"
#include "app/datasetmodel.h"
#include "app/dbgrid.h"
#include "app/msgbox.h"
#include "tests/support/testinstall.h"

#include <QHeaderView>
#include <QtTest>
#include <memory>

namespace {

void clickHeader(DbGrid& grid, int section, Qt::KeyboardModifiers mods = {})
{
    QHeaderView* h = grid.horizontalHeader();
    const QPoint p(h->sectionViewportPosition(section) + h->sectionSize(section) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, mods, p);
}

void clickRow(DbGrid& grid, int row)
{
    const QRect cell = grid.visualRect(grid.model()->index(row, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

class TestDbGrid : public QObject {
    Q_OBJECT
    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<Dataset> m_ds;
    std::unique_ptr<DatasetModel> m_model;
    std::unique_ptr<DbGrid> m_grid;

    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < m_model->rowCount(); ++r)
            out << m_model->index(r, c).data().toString();
        return out;
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        const char* rows[][2] = {{"a1", "y"}, {"a2", "x"}, {"a3", "y"}, {"a4", "x"}};
        for (auto& r : rows)
            QVERIFY(execSql("t", "INSERT INTO area(aCode, aName, mCode) VALUES(?, ?, 'u')",
                            {QString::fromLatin1(r[0]), QString::fromLatin1(r[1])}));
        m_ds = std::make_unique<Dataset>();
        m_ds->setSql(QStringLiteral("SELECT * FROM area ORDER BY aCode"));
        m_ds->setUpdateTable(QStringLiteral("area"));
        m_ds->open();
        m_model = std::make_unique<DatasetModel>(
            m_ds.get(), QList<GridColumn>{{"gridAreaaCode", "aCode", "代码", 60, true, false},
                                          {"gridAreaaName", "aName", "名称", 120, true, false},
                                          {"gridAreamCode", "mCode", "户主", 80, false, false}});
        m_grid = std::make_unique<DbGrid>();
        m_grid->setRowSelect(true);
        m_grid->setDatasetModel(m_model.get());
        m_grid->resize(320, 200);
        m_grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    }
    void cleanup()
    {
        m_grid.reset();
        m_model.reset();
        m_ds.reset();
        m_install.reset();
    }

    void columns();
    void currentRowBothWays();
    void reopenShowsFirstRow();
    void leavingEditedRowPosts();
    void headerSorting();
    void ctrlDelete();
};

void TestDbGrid::columns()
{
    QCOMPARE(m_model->columnCount(), 2);
    QCOMPARE(m_grid->columnWidth(0), 60);
    QCOMPARE(m_grid->columnWidth(1), 120);
    QCOMPARE(column(0), (QStringList{"a1", "a2", "a3", "a4"}));
}

void TestDbGrid::currentRowBothWays()
{
    QCOMPARE(m_grid->currentIndex().row(), 0);
    m_ds->moveTo(2);
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QVERIFY(m_grid->selectionModel()->isRowSelected(2, {}));
    clickRow(*m_grid, 3);
    QCOMPARE(m_ds->recNo(), 3);
    QCOMPARE(m_ds->asString("aCode"), QStringLiteral("a4"));
    QTest::keyClick(m_grid.get(), Qt::Key_Up);
    QCOMPARE(m_ds->recNo(), 2);
    QCOMPARE(m_grid->selectionModel()->selectedRows().size(), 1);
}

void TestDbGrid::reopenShowsFirstRow()
{
    clickRow(*m_grid, 2);
    reopenQuery("test.reopen", *m_ds);
    QCOMPARE(m_ds->recNo(), 0);
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QCOMPARE(m_grid->columnWidth(1), 120);
}

void TestDbGrid::leavingEditedRowPosts()
{
    QVERIFY(m_model->setData(m_model->index(0, 1), QStringLiteral("z")));
    QVERIFY(m_ds->isEditing());
    clickRow(*m_grid, 1);
    QVERIFY(!m_ds->isEditing());
    QCOMPARE(m_ds->recNo(), 1);
    QCOMPARE(getSqlValue("t", "SELECT aName FROM area WHERE aCode=?", {QStringLiteral("a1")}),
             QStringLiteral("z"));
}

void TestDbGrid::headerSorting()
{
    clickRow(*m_grid, 2); // a3 stays current through every sort
    clickHeader(*m_grid, 1);
    QCOMPARE(column(1), (QStringList{"x", "x", "y", "y"}));
    clickHeader(*m_grid, 0, Qt::ShiftModifier); // second key: code ascending
    QCOMPARE(column(0), (QStringList{"a2", "a4", "a1", "a3"}));
    clickHeader(*m_grid, 0, Qt::ShiftModifier); // second key turned descending
    QCOMPARE(column(0), (QStringList{"a4", "a2", "a3", "a1"}));
    QCOMPARE(m_ds->sortKeys().size(), 2);
    clickHeader(*m_grid, 1); // a plain click starts over with one key
    QCOMPARE(m_ds->sortKeys().size(), 1);
    clickHeader(*m_grid, 1);
    QCOMPARE(column(1), (QStringList{"y", "y", "x", "x"}));
    QCOMPARE(m_ds->asString("aCode"), QStringLiteral("a3"));
    QCOMPARE(m_grid->currentIndex().row(), m_ds->recNo());
    QCOMPARE(m_grid->horizontalHeader()->sortIndicatorSection(), 1);
    QCOMPARE(m_grid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
}

void TestDbGrid::ctrlDelete()
{
    QTest::keyClick(m_grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(Msg::shown().isEmpty()); // no handler: nothing to confirm

    int calls = 0;
    m_grid->setDeleteHandler([&] { ++calls; });
    Msg::queueAnswer(QMessageBox::Cancel);
    QTest::keyClick(m_grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(calls, 0);
    QCOMPARE(Msg::shown().size(), 1);
    QCOMPARE(Msg::shown().first().caption, QStringLiteral("Confirm"));
    QCOMPARE(Msg::shown().first().text, QStringLiteral("Delete record?"));
    QCOMPARE(Msg::shown().first().buttons, QMessageBox::Ok | QMessageBox::Cancel);
    Msg::queueAnswer(QMessageBox::Ok);
    QTest::keyClick(m_grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(calls, 1);
    QTest::keyClick(m_grid.get(), Qt::Key_Delete); // Delete alone is not a deletion
    QCOMPARE(calls, 1);
}

QTEST_MAIN(TestDbGrid)
#include "tst_dbgrid.moc"
