#include "tools/demodata.h"

#include "tools/dbinit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sodium.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace demodata {

namespace {

// splitmix64: small, fast and the same on every platform and library, so a
// seed always gives the same rows.
class Rng {
public:
    explicit Rng(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool percent(int p) { return below(100) < p; }
    template <class T> const T& pick(const std::vector<T>& list)
    {
        return list[size_t(below(int(list.size())))];
    }

private:
    quint64 m_state;
};

// Days since 1970-01-01 and back (proleptic Gregorian calendar).
int daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int z, int& y, int& m, int& d)
{
    z += 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y = yoe + era * 400 + (m <= 2);
}

std::string dateText(int y, int m, int d)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string dateText(int days)
{
    int y, m, d;
    civilFromDays(days, y, m, d);
    return dateText(y, m, d);
}

std::string numbered(const std::string& prefix, int n, int width)
{
    std::string number = std::to_string(n);
    if (int(number.size()) < width)
        number.insert(0, size_t(width) - number.size(), '0');
    return prefix + number;
}

int digits(int n)
{
    int w = 1;
    while (n >= 10) {
        n /= 10;
        ++w;
    }
    return w;
}

using Words = std::vector<std::string>;

const Words kSurnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱",
                         "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯",
                         "邓", "曹", "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜",
                         "叶", "程", "苏", "魏", "吕", "丁", "任", "沈", "姚", "卢", "姜", "崔", "钟", "谭",
                         "陆", "汪", "范", "金", "石", "廖", "贾", "夏", "韦", "付", "方", "白", "邹", "孟"};
const Words kMaleGiven = {"伟", "强", "磊", "军", "勇", "杰", "涛", "明", "超", "刚", "平", "辉", "鹏", "华",
                          "飞", "鑫", "波", "斌", "宇", "浩", "凯", "健", "俊", "帆", "帅", "旭", "宁", "龙",
                          "林", "建", "国", "志", "文", "海", "庆", "东", "春", "永", "德", "成"};
const Words kFemaleGiven = {"芳", "娜", "敏", "静", "丽", "艳", "娟", "霞", "燕", "玲",
                            "秀", "英", "华", "慧", "红", "梅", "琳", "莉", "萍", "雪",
                            "倩", "婷", "兰", "凤", "洁", "琴", "云", "颖", "玉", "桂",
                            "珍", "晶", "欣", "悦", "月", "春", "佳", "丹", "菊", "荣"};
const Words kBrands = {"鑫源", "福满", "兴隆", "顺发", "金鼎", "宏达", "聚福", "永盛",   "新世纪", "万家",
                       "吉祥", "众诚", "利民", "惠民", "百信", "泉城", "鲁味", "好运来", "金桥",   "和顺",
                       "恒通", "同乐", "佳和", "天天", "阳光", "红星", "明珠", "开元",   "长城",   "华联"};
const Words kDistricts = {"历下区", "市中区", "槐荫区", "天桥区", "历城区", "长清区"};
const char* const kRegions[] = {"370102", "370103", "370104", "370105", "370112", "370113"};
const Words kRoadNames = {"人民", "解放", "建设", "和平", "中山", "新华", "胜利", "文化", "青年",
                          "朝阳", "光明", "长江", "黄河", "友谊", "工业", "花园", "北园", "南园",
                          "东关", "西关", "泉城", "明湖", "山水", "幸福", "振兴"};
const Words kRoadKinds = {"路", "街", "巷", "大街"};
const Words kMobile = {"130", "131", "132", "133", "135", "136", "137", "138", "139", "150",
                       "151", "152", "155", "158", "159", "186", "187", "188", "189"};
const Words kRemarks = {"正常营业", "季节性经营", "门面租赁经营", "家庭经营", "雇工经营", "", ""};
const Words kPlaces = {"城东",   "城西",   "城南",   "城北",   "东关",   "西关",     "南关",     "北关",
                       "火车站", "汽车站", "大明湖", "趵突泉", "千佛山", "泉城广场", "英雄山",   "燕山",
                       "七里山", "王官庄", "堤口",   "北园",   "洪楼",   "山大路",   "文化东路", "舜耕",
                       "姚家",   "八里洼", "甸柳",   "羊头峪", "辛庄",   "工业北路"};
const Words kAreaKinds = {"片区",   "一片",   "二片", "三片", "社区片",
                          "市场片", "商业片", "东片", "西片", "中心片"};
const int kRatioHalves[] = {2, 3, 4, 6, 7, 8, 10, 12}; // 1% ... 6%, in steps of 0.5

// Shop words by trade; a trade the list does not know gets generic ones.
const Words& shopWords(const std::string& trade)
{
    static const std::vector<std::pair<std::string, Words>> table = {
        {"批发零售业", {"便利店", "五金店", "副食品店", "服装店", "烟酒店", "日杂店", "超市"}},
        {"餐饮业", {"面馆", "小吃店", "饺子馆", "快餐店", "火锅店", "烧烤店", "酒家"}},
        {"住宿业", {"旅社", "招待所", "宾馆", "客栈", "旅馆"}},
        {"居民服务业", {"理发店", "洗衣店", "照相馆", "家政服务部", "浴池", "美容店"}},
        {"交通运输业", {"货运部", "搬家服务部", "物流部", "客运服务部"}},
        {"建筑业", {"装修队", "建筑安装队", "防水工程部", "水电安装部"}},
        {"制造业", {"加工厂", "豆腐坊", "门窗加工部", "食品加工坊", "服装加工厂"}},
        {"修理修配业", {"修车铺", "家电维修部", "钟表修理部", "汽车修理厂", "手机维修店"}},
        {"文化体育业", {"书店", "文具店", "体育用品店", "音像店", "画廊"}},
        {"娱乐业", {"网吧", "台球室", "歌厅", "棋牌室", "游戏厅"}},
        {"其他服务业", {"复印部", "广告部", "打字复印社", "中介服务部", "婚庆服务部"}},
    };
    static const Words generic = {"经营部", "商店", "服务部"};
    for (const auto& [name, words] : table)
        if (name == trade)
            return words;
    return generic;
}

// The three dictionaries as the shipped myapp.ini holds them.
struct Dictionaries {
    Words trades, types, statuses;
};

Dictionaries shippedDictionaries()
{
    Dictionaries out;
    const QStringList lines =
        QString::fromUtf8(dbinit::defaultSettings()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    bool inSection = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QStringLiteral("[DataDic]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        Words* target = key == QStringLiteral("行业种类")   ? &out.trades
                        : key == QStringLiteral("税户类型") ? &out.types
                        : key == QStringLiteral("税务状态") ? &out.statuses
                                                            : nullptr;
        if (!target)
            continue;
        for (const QString& item : line.mid(eq + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!item.trimmed().isEmpty())
                target->push_back(item.trimmed().toStdString());
    }
    for (Words* w : {&out.trades, &out.types, &out.statuses})
        if (w->empty())
            w->push_back("");
    return out;
}

// An 18-digit resident identity number: region, birth date, sequence (odd
// for men), and the ISO 7064 MOD 11-2 check character.
std::string identityNumber(Rng& rng, bool male)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    std::string id = kRegions[rng.below(6)];
    const int birth = rng.between(daysFromCivil(1955, 1, 1), daysFromCivil(1998, 12, 31));
    int y, m, d;
    civilFromDays(birth, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
    id += buf;
    int seq = rng.between(1, 499) * 2 - (male ? 1 : 0);
    std::snprintf(buf, sizeof buf, "%03d", seq);
    id += buf;
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (id[size_t(i)] - '0') * weights[i];
    id += checks[sum % 11];
    return id;
}

std::string phoneNumber(Rng& rng)
{
    char buf[32];
    if (rng.percent(75)) {
        std::snprintf(buf, sizeof buf, "%s%08d", rng.pick(kMobile).c_str(), rng.below(100000000));
    } else {
        std::snprintf(buf, sizeof buf, "0531-8%07d", rng.below(10000000));
    }
    return buf;
}

// A prepared statement, finalized on every way out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_st, nullptr) != SQLITE_OK)
            m_st = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return m_st != nullptr; }

    // Text is bound without a copy: it must live until run().
    void text(int i, const std::string& s)
    {
        sqlite3_bind_text(m_st, i, s.data(), int(s.size()), SQLITE_STATIC);
    }
    void textOrNull(int i, const std::string& s)
    {
        if (s.empty())
            sqlite3_bind_null(m_st, i);
        else
            text(i, s);
    }
    void integer(int i, qint64 v) { sqlite3_bind_int64(m_st, i, v); }
    void real(int i, double v) { sqlite3_bind_double(m_st, i, v); }
    bool run()
    {
        const int rc = sqlite3_step(m_st);
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3_stmt* m_st = nullptr;
};

bool failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString engineMessage(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// What one taxpayer needs for its detail rows.
struct Household {
    std::string code;
    int openDay = 0;
    int closeDay = -1; // the day business stopped, -1 while trading
};

struct Generator {
    Generator(sqlite3* handle, const Options& options) : db(handle), o(options), rng(options.seed) {}

    sqlite3* db;
    const Options& o;
    Rng rng;
    Dictionaries dics = shippedDictionaries();
    Counts counts;
    int firstDay = daysFromCivil(o.firstYear, 1, 1);
    int lastDay = daysFromCivil(o.lastYear, 12, 31);

    bool areas(std::vector<std::string>& codes)
    {
        Statement st(db, "INSERT INTO area(aCode, aName, mCode) VALUES(?, ?, ?)");
        if (!st.ok())
            return false;
        const std::string owner = o.userCode.toStdString();
        const std::string prefix = o.areaPrefix.toStdString();
        const int width = std::max(3, digits(o.areas));
        for (int j = 0; j < o.areas; ++j) {
            const std::string code = numbered(prefix, j + 1, width);
            const size_t places = kPlaces.size(), kinds = kAreaKinds.size();
            std::string name = kPlaces[size_t(j) % places] + kAreaKinds[size_t(j) / places % kinds];
            if (size_t(j) >= places * kinds)
                name += std::to_string(size_t(j) / (places * kinds) + 1);
            st.text(1, code);
            st.text(2, name);
            st.text(3, owner);
            if (!st.run())
                return false;
            codes.push_back(code);
            ++counts.areas;
        }
        return true;
    }

    bool taxpayers(const std::vector<std::string>& areaCodes)
    {
        Statement taxer(
            db, "INSERT INTO taxer(mCode, tCode, tName, tTrade, tSex, tID, taxType, taxStatus, "
                "tRegistDate, tRegistAddress, tContacter, tContactTel, tOpenDate, aCode, "
                "taxStatusChangeDate, tSelected) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)");
        Statement yingye(db, "INSERT INTO yingye(tCode, tStartDate, tEndDate, tRemark) VALUES(?, ?, ?, ?)");
        Statement audit(db, "INSERT INTO audit(tCode, aCount, aRatio, aTax, aStartDate, aEndDate) "
                            "VALUES(?, ?, ?, ?, ?, ?)");
        Statement tax(db, "INSERT INTO tax(tCode, tDate, tTax) VALUES(?, ?, ?)");
        if (!taxer.ok() || !yingye.ok() || !audit.ok() || !tax.ok())
            return false;

        const std::string owner = o.userCode.toStdString();
        const std::string prefix = o.taxPrefix.toStdString();
        const int width = std::max(6, digits(o.taxpayers));
        const int perTaxpayer = o.taxpayers > 0 ? o.detailRows / o.taxpayers : 0;
        const int extra = o.taxpayers > 0 ? o.detailRows % o.taxpayers : 0;
        const std::string male = "男", female = "女";
        // Most households trade normally; the other statuses share the rest.
        const int normalShare = 70;

        for (int i = 0; i < o.taxpayers; ++i) {
            Household h;
            h.code = numbered(prefix, i + 1, width);
            const bool isMale = rng.percent(60);
            const std::string& surname = rng.pick(kSurnames);
            const Words& given = isMale ? kMaleGiven : kFemaleGiven;
            std::string owner_name = surname + rng.pick(given);
            if (rng.percent(70))
                owner_name += rng.pick(given);

            const std::string& trade = rng.pick(dics.trades);
            const std::string& type = rng.pick(dics.types);
            const size_t statusIndex = dics.statuses.size() == 1 || rng.percent(normalShare)
                                           ? 0
                                           : size_t(1 + rng.below(int(dics.statuses.size()) - 1));
            const std::string& status = dics.statuses[statusIndex];

            std::string brand;
            switch (rng.below(3)) {
            case 0:
                brand = surname + "记";
                break;
            case 1:
                brand = "老" + surname;
                break;
            default:
                brand = rng.pick(kBrands);
                break;
            }
            const std::string name = brand + rng.pick(shopWords(trade));

            std::string address = rng.pick(kDistricts) + rng.pick(kRoadNames) + rng.pick(kRoadKinds) +
                                  std::to_string(rng.between(1, 300)) + "号";
            if (rng.percent(20))
                address += "门市";

            const int regDay = rng.between(firstDay, std::max(firstDay, lastDay - 120));
            h.openDay = std::min(lastDay, regDay + rng.below(46));
            int changeDay = regDay;
            if (statusIndex > 0) {
                changeDay = rng.between(std::min(lastDay, h.openDay + 30), lastDay);
                // the last two statuses of the list (停业户, 注销户) end trading
                if (dics.statuses.size() > 2 && statusIndex >= dics.statuses.size() - 2)
                    h.closeDay = changeDay;
            }
            const std::string regText = dateText(regDay), openText = dateText(h.openDay),
                              changeText = dateText(changeDay);
            const std::string id = identityNumber(rng, isMale);
            const std::string phone = phoneNumber(rng);
            const std::string& area = areaCodes.empty() ? std::string() : rng.pick(areaCodes);

            taxer.text(1, owner);
            taxer.text(2, h.code);
            taxer.text(3, name);
            taxer.text(4, trade);
            taxer.text(5, isMale ? male : female);
            taxer.text(6, id);
            taxer.text(7, type);
            taxer.text(8, status);
            taxer.text(9, regText);
            taxer.text(10, address);
            taxer.text(11, owner_name);
            taxer.text(12, phone);
            taxer.text(13, openText);
            taxer.textOrNull(14, area);
            taxer.text(15, changeText);
            if (!taxer.run())
                return false;
            ++counts.taxpayers;

            if (!details(h, perTaxpayer + (i < extra ? 1 : 0), yingye, audit, tax))
                return false;
        }
        return true;
    }

    // One business period from the opening, then yearly assessments and
    // payments spread over the months the household traded.
    bool details(const Household& h, int rows, Statement& yingye, Statement& audit, Statement& tax)
    {
        if (rows <= 0)
            return true;
        const int endDay = h.closeDay >= 0 ? h.closeDay : lastDay;
        {
            const std::string start = dateText(h.openDay);
            const std::string end = h.closeDay >= 0 ? dateText(h.closeDay) : std::string();
            const std::string& remark = rng.pick(kRemarks);
            yingye.text(1, h.code);
            yingye.text(2, start);
            yingye.textOrNull(3, end);
            yingye.textOrNull(4, remark);
            if (!yingye.run())
                return false;
            ++counts.yingye;
        }
        const int rest = rows - 1;
        const int audits = rest / 4;
        const int payments = rest - audits;

        int openY, openM, openD, endY, endM, endD;
        civilFromDays(h.openDay, openY, openM, openD);
        civilFromDays(endDay, endY, endM, endD);
        const int years = endY - openY + 1;
        // the monthly tax a payment follows: its year's assessment, else the last one
        std::vector<std::pair<int, double>> assessedByYear;
        for (int j = 0; j < audits; ++j) {
            const int year = openY + j % years;
            const std::string start = year == openY ? dateText(h.openDay) : dateText(year, 1, 1);
            const std::string end = year == endY ? dateText(endDay) : dateText(year, 12, 31);
            const qint64 count = 500LL * rng.between(2, 60);
            const double ratio = kRatioHalves[rng.below(8)] / 2.0;
            const double assessed = double(count) * ratio / 100;
            assessedByYear.emplace_back(year, assessed);
            audit.text(1, h.code);
            audit.integer(2, count);
            audit.real(3, ratio);
            audit.real(4, assessed);
            audit.text(5, start);
            audit.text(6, end);
            if (!audit.run())
                return false;
            ++counts.audit;
        }
        const double unassessed = 10.0 * rng.between(10, 200);

        const int months = (endY - openY) * 12 + (endM - openM) + 1;
        for (int j = 0; j < payments; ++j) {
            const int k = int(qint64(j) * months / payments);
            const int year = openY + (openM - 1 + k) / 12;
            const int month = (openM - 1 + k) % 12 + 1;
            int day = rng.between(1, 28);
            if (k == 0)
                day = std::max(day, std::min(openD, 28));
            int paid = daysFromCivil(year, month, day);
            paid = std::min(std::max(paid, h.openDay), endDay);
            const std::string date = dateText(paid);
            double monthlyTax = assessedByYear.empty() ? unassessed : assessedByYear.back().second;
            for (const auto& [y, assessed] : assessedByYear)
                if (y == year)
                    monthlyTax = assessed;
            // cents, within a tenth of the assessed amount
            const double amount = std::round(monthlyTax * rng.between(90, 110)) / 100.0;
            tax.text(1, h.code);
            tax.text(2, date);
            tax.real(3, amount);
            if (!tax.run())
                return false;
            ++counts.tax;
        }
        return true;
    }
};

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

qint64 pragmaValue(sqlite3* db, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    qint64 value = -2000; // the engine's default
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return value;
}

} // namespace

bool fill(sqlite3* db, const Options& options, Counts* counts, QString* error)
{
    if (!db)
        return failWith(error, QStringLiteral("数据库未连接"));
    if (options.taxpayers < 0 || options.areas < 0 || options.detailRows < 0 ||
        options.lastYear < options.firstYear)
        return failWith(error, QStringLiteral("演示数据的参数无效"));
    // A savepoint works inside a caller's transaction as well as on its own.
    if (!exec(db, "SAVEPOINT demodata"))
        return failWith(error, engineMessage(db));
    // A page cache that holds the growing indexes writes each page once at
    // the end instead of again and again; the caller's size comes back after.
    const QByteArray restoreCache =
        "PRAGMA cache_size = " + QByteArray::number(pragmaValue(db, "PRAGMA cache_size"));
    exec(db, "PRAGMA cache_size = -262144");

    Generator g(db, options);
    std::vector<std::string> areaCodes;
    bool ok = g.areas(areaCodes) && g.taxpayers(areaCodes) && exec(db, "RELEASE demodata");
    QString message;
    if (!ok) {
        message = engineMessage(db);
        exec(db, "ROLLBACK TO demodata");
        exec(db, "RELEASE demodata");
    }
    exec(db, restoreCache.constData());
    sqlite3_db_release_memory(db);
    if (!ok)
        return failWith(error, message);
    if (counts)
        *counts = g.counts;
    return true;
}

namespace {

// The database file at path, closed on every way out.
struct OpenFile {
    sqlite3* db = nullptr;
    explicit OpenFile(const QString& path)
    {
        const QByteArray native = QFile::encodeName(path);
        if (sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            message = QString::fromUtf8(db ? sqlite3_errmsg(db) : "cannot open");
            sqlite3_close(db);
            db = nullptr;
        }
    }
    ~OpenFile() { sqlite3_close(db); }
    QString message;
};

} // namespace

bool fill(const QString& path, const Options& options, Counts* counts, QString* error)
{
    OpenFile file(path);
    if (!file.db)
        return failWith(error, file.message);
    return fill(file.db, options, counts, error);
}

bool addUser(sqlite3* db, const QString& code, const QString& name, const QString& password, QString* error)
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        return failWith(error, QStringLiteral("密码库初始化失败"));
    const QByteArray pw = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, pw.constData(), quint64(pw.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return failWith(error, QStringLiteral("内存不足，无法生成密码摘要"));
    Statement st(db, "INSERT INTO manager(mCode, mName, mPassword, mWhoInput) VALUES(?, ?, ?, ?)");
    if (!st.ok())
        return failWith(error, engineMessage(db));
    const std::string c = code.toStdString(), n = name.toStdString(), h = hash;
    st.text(1, c);
    st.text(2, n);
    st.text(3, h);
    st.text(4, c);
    if (!st.run())
        return failWith(error, engineMessage(db));
    return true;
}

bool createDemo(const QString& dir, QString* error)
{
    QDir target(dir);
    if (!target.exists() && !QDir().mkpath(target.path()))
        return failWith(error, QStringLiteral("无法创建目录：%1").arg(dir));
    const QString dbPath = target.filePath(QStringLiteral("tax.mdb"));
    if (!dbinit::createDatabase(dbPath, error))
        return false;
    bool ok;
    {
        OpenFile file(dbPath);
        ok = file.db && exec(file.db, "BEGIN") &&
             addUser(file.db, QStringLiteral("demo"), QStringLiteral("演示用户"), QStringLiteral("demo"),
                     error) &&
             fill(file.db, Options{}, nullptr, error) && exec(file.db, "COMMIT");
        if (!file.db)
            failWith(error, file.message);
    }
    if (!ok) {
        QFile::remove(dbPath);
        return false;
    }
    const QString ini = target.filePath(QStringLiteral("myapp.ini"));
    if (!QFileInfo::exists(ini) && !dbinit::writeDefaultSettings(ini, error))
        return false;
    return true;
}

} // namespace demodata
