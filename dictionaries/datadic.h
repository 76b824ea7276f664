#pragma once
#include "app/modaldialog.h"

#include <QString>
#include <QStringList>

class QComboBox;
class QListWidget;

// The idents of the three dictionaries kept in myapp.ini, section "DataDic".
namespace dic {
inline const QString Section = QStringLiteral("DataDic");
inline const QString TaxType = QStringLiteral("税户类型");
inline const QString Trade = QStringLiteral("行业种类");
inline const QString TaxStatus = QStringLiteral("税务状态");
} // namespace dic

// The editor of one dictionary list.  Nothing is written anywhere until
// 确定 (the settings file) or 写入数据库 (table datadic) is pressed.
class TfrmDataDic : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmDataDic(QWidget* parent = nullptr);

    QString dicIdent; // the dictionary being edited; set before showing

    QLineEdit* edtIdent = nullptr;
    QLineEdit* edtItem = nullptr;
    QListWidget* lbItem = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnModify = nullptr;
    QPushButton* RzButton1 = nullptr; // 删除
    QPushButton* btnUp = nullptr;
    QPushButton* btnDown = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* btnWrite = nullptr;

    // The items as the list box holds them now.
    QStringList items() const;

protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnAddClick(int tag);
    void btnUpClick(int tag);
    void edtItemKeyPress();
    void lbItemClick();
    void btnReadClick();
    void btnWriteClick();
    void btnOKClick();
    void setItems(const QStringList& list);
    void selectRow(int row);

    bool m_selecting = false; // the program moves the selection: no copy into edtItem
};

extern TfrmDataDic* frmDataDic; // set while editDataDic runs

// Opens the editor on one dictionary; true when it was closed with 确定,
// after the list has been stored in myapp.ini.
bool editDataDic(const QString& ident);

// The items of a dictionary as myapp.ini holds them now.
QStringList dictionaryItems(const QString& ident);

// Refills a search box from a dictionary: an empty first item (no condition),
// then the items.  The chosen item stays chosen when it is still in the list;
// otherwise the empty item is chosen.
void fillSearchBox(QComboBox& box, const QString& ident);
