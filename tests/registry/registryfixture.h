#pragma once
// A signed-in main window over a throw-away installation: two users' taxpayers,
// areas and detail rows, the window shown and its lists opened.
#include "app/common.h"
#include "app/dataset.h"
#include "app/datamodule.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "app/msgbox.h"
#include "registry/detailpanel.h"
#include "registry/mainwindow.h"
#include "registry/searchpanel.h"
#include "registry/taxerpanel.h"
#include "tests/support/testinstall.h"

#include <QPushButton>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace regtest {

inline void addTaxer(const QString& user, const QString& code, const QString& name = QString(),
                     const QString& area = QString(), int selected = 0)
{
    QVERIFY(execSql("test", "INSERT INTO taxer(mCode, tCode, tName, aCode, tSelected) VALUES(?, ?, ?, ?, ?)",
                    {user, code, name.isEmpty() ? QVariant() : name, area.isEmpty() ? QVariant() : area, selected}));
}

inline int count(const QString& sql, const QVariantList& values = {})
{
    return getSqlValue("test", sql, values).toInt();
}

// Statements the engine runs, recorded through its trace hook.
struct StatementLog {
    QStringList statements;
    static int hook(unsigned, void* ctx, void* p, void*)
    {
        auto* self = static_cast<StatementLog*>(ctx);
        if (char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(p))) {
            self->statements << QString::fromUtf8(sql);
            sqlite3_free(sql);
        }
        return 0;
    }
    void start()
    {
        statements.clear();
        sqlite3_trace_v2(frmDm->handle(), SQLITE_TRACE_STMT, &StatementLog::hook, this);
    }
    ~StatementLog() { stop(); }
    void stop()
    {
        if (frmDm && frmDm->handle())
            sqlite3_trace_v2(frmDm->handle(), 0, nullptr, nullptr);
    }
    int matching(const QString& part) const
    {
        int n = 0;
        for (const QString& s : statements)
            n += s.contains(part, Qt::CaseInsensitive) ? 1 : 0;
        return n;
    }
};

class Window {
public:
    std::unique_ptr<TestInstall> install;
    std::unique_ptr<TfrmMain> main;

    explicit Window(const std::function<void()>& fill = {})
    {
        install = std::make_unique<TestInstall>();
        UserInfo.UserCode = QStringLiteral("U1");
        UserInfo.UserName = QStringLiteral("张三");
        if (fill)
            fill();
        main = std::make_unique<TfrmMain>();
        frmMain = main.get();
        main->resize(1000, 700);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        settle();
    }
    ~Window()
    {
        frmMain = nullptr;
        main.reset();
        install.reset();
    }
    // Lets the detail refresh (100 ms) and other timers run.
    static void settle() { QTest::qWait(160); }

    Dataset& taxer() const { return *main->taxers->qryTaxer; }
    DbGrid& grid() const { return *main->taxers->gridTaxer; }
    SearchPanel& search() const { return *main->search; }
    DetailPanel& details() const { return *main->details; }

    QStringList codes() const
    {
        QStringList out;
        const int c = taxer().fieldIndex(QStringLiteral("tCode"));
        for (int r = 0; r < taxer().recordCount(); ++r)
            out << taxer().valueAt(r, c).toString();
        return out;
    }
    bool moveTo(const QString& code) const
    {
        return taxer().locate(QStringLiteral("tCode"), code, true);
    }
    void search(const std::function<void(SearchPanel&)>& set) const
    {
        set(search());
        QTest::mouseClick(search().btnSearch, Qt::LeftButton);
    }
};

} // namespace regtest
