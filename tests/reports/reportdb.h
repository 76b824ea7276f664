#pragma once
// Rows for the report tests, written with bound values.
#include "app/common.h"

#include <QVariant>
#include <QtTest>

namespace reportdb {

struct Taxer {
    QString mCode, tCode, tName, tTrade, taxType, taxStatus, tRegistAddress, tContacter, tContactTel, aCode;
    QVariant taxStatusChangeDate;
    QString tOpenDate, tRegistDate;
};

inline void addTaxer(const Taxer& t)
{
    QVERIFY(execSql(
        QStringLiteral("test.addTaxer"),
        QStringLiteral("INSERT INTO taxer(mCode, tCode, tName, tTrade, taxType, taxStatus, tRegistAddress, "
                       "tContacter, tContactTel, aCode, taxStatusChangeDate, tOpenDate, tRegistDate) "
                       "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {t.mCode, t.tCode, t.tName, t.tTrade, t.taxType, t.taxStatus, t.tRegistAddress, t.tContacter,
         t.tContactTel, t.aCode, t.taxStatusChangeDate, t.tOpenDate, t.tRegistDate}));
}

// A taxpayer of the given user with only the fields a statistic looks at.
inline void addSimple(const QString& mCode, const QString& tCode, const QVariant& type,
                      const QVariant& status, const QVariant& changeDate = QVariant())
{
    QVERIFY(execSql(QStringLiteral("test.addSimple"),
                    QStringLiteral("INSERT INTO taxer(mCode, tCode, taxType, taxStatus, taxStatusChangeDate) "
                                   "VALUES(?,?,?,?,?)"),
                    {mCode, tCode, type, status, changeDate}));
}

inline void addArea(const QString& aCode, const QString& aName, const QString& mCode)
{
    QVERIFY(execSql(QStringLiteral("test.addArea"),
                    QStringLiteral("INSERT INTO area(aCode, aName, mCode) VALUES(?,?,?)"),
                    {aCode, aName, mCode}));
}

inline void addPayment(const QString& tCode, const QVariant& date, double tax)
{
    QVERIFY(execSql(QStringLiteral("test.addPayment"),
                    QStringLiteral("INSERT INTO tax(tCode, tDate, tTax) VALUES(?,?,?)"), {tCode, date, tax}));
}

inline void addPeriod(const QString& tCode, const QVariant& start, const QVariant& end, const QString& remark)
{
    QVERIFY(
        execSql(QStringLiteral("test.addPeriod"),
                QStringLiteral("INSERT INTO yingye(tCode, tStartDate, tEndDate, tRemark) VALUES(?,?,?,?)"),
                {tCode, start, end, remark}));
}

inline void addAudit(const QString& tCode, const QString& start, const QString& end, qint64 count,
                     double ratio, double tax)
{
    QVERIFY(execSql(QStringLiteral("test.addAudit"),
                    QStringLiteral("INSERT INTO audit(tCode, aStartDate, aEndDate, aCount, aRatio, aTax) "
                                   "VALUES(?,?,?,?,?,?)"),
                    {tCode, start, end, count, ratio, tax}));
}

// The fixed data set of the golden files: three taxpayers of u1 (one in
// another user's area), one of u2, areas of both users, details of T002.
inline void addGoldenData()
{
    addArea(QStringLiteral("A1"), QStringLiteral("城东片区"), QStringLiteral("u1"));
    addArea(QStringLiteral("A2"), QStringLiteral("城西片区"), QStringLiteral("u1"));
    addArea(QStringLiteral("B1"), QStringLiteral("外区"), QStringLiteral("u2"));
    addTaxer({"u1", "T001", "东风五金店", "批发零售业", "注册纯地税户", "正常户", "解放路12号", "张三",
              "13800000001", "A1", "2004-03-10", "2001-05-01", "2001-04-20"});
    addTaxer({"u1", "T002", "老王面馆", "餐饮业", "临时共管户", "停业户",
              "人民路888号金色家园小区东门对面第三间铺面（临街）", "王五", "0571-8888888", "A2", "2004-03-01",
              "2002-01-15", "2002-01-10"});
    addTaxer({"u1", "T003", "新华书店'分店", "文化体育业", "注册共管户", "正常户", "中山路1号", "李四", "",
              "B1", "2003-12-31", "2003-01-01", "2002-12-01"});
    addTaxer({"u2", "T009", "别人的店", "餐饮业", "注册纯地税户", "正常户", "远方", "赵六", "", "B1",
              "2004-03-15", "2000-01-01", "2000-01-01"});
    addPeriod(QStringLiteral("T002"), QStringLiteral("2002-01-15"), QStringLiteral("2003-06-30"),
              QStringLiteral("季节性停业"));
    addPeriod(QStringLiteral("T002"), QStringLiteral("2003-09-01"), QVariant(), QString());
    addAudit(QStringLiteral("T002"), QStringLiteral("2004-01-01"), QStringLiteral("2004-12-31"), 1500, 0.05,
             75);
    addAudit(QStringLiteral("T002"), QStringLiteral("2003-01-01"), QStringLiteral("2003-12-31"), 1200, 0.045,
             54);
    addPayment(QStringLiteral("T002"), QStringLiteral("2004-03-05"), 75);
    addPayment(QStringLiteral("T002"), QStringLiteral("2004-02-05"), 100.5);
    addPayment(QStringLiteral("T001"), QStringLiteral("2004-03-31"), 200);
    addPayment(QStringLiteral("T009"), QStringLiteral("2004-03-20"), 999);
}

} // namespace reportdb
