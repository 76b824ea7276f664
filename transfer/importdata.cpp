#include "transfer/importdata.h"

#include "app/common.h"
#include "app/filedialog.h"
#include "app/globals.h"
#include "transfer/package.h"
#include "transfer/progress.h"
#include "transfer/transferpassword.h"

#include <QFileInfo>
#include <QScopeGuard>

void importData(QWidget* parent, const std::function<void()>& reQuery)
{
    const QString fileName = FileDlg::getOpenFileName(
        parent, QStringLiteral("导入数据"), QStringLiteral("数据压缩文件|*.zdt"), QStringLiteral("zdt"));
    if (fileName.isEmpty()) {
        if (reQuery)
            reQuery();
        return;
    }
    QString password;
    askTransferPassword(ImportMode, password);
    if (!QFileInfo(fileName).isFile()) {
        infoBox(QStringLiteral("%1文件不存在，请重新选择文件").arg(fileName));
        return;
    }

    transfer::PackageImporter importer(UserInfo.UserCode, AppPath + QStringLiteral("tmp"));
    // The unpacked files hold the package's data in the clear: they go as
    // soon as the import is over.
    const auto cleanUp = qScopeGuard([&importer] { importer.cleanUp(); });
    bool unpacked = false;
    transfer::runWithProgress(parent, QStringLiteral("正在读取导入文件……"),
                              [&] { unpacked = importer.unpack(fileName, password); });
    if (!unpacked || !importer.load() || !importer.merge()) {
        infoBox(importer.error());
        return;
    }
    if (reQuery)
        reQuery();
    infoBox(QStringLiteral("导入完成：新增税户%1个，新增片区%2个；%3个税户因代码已存在而跳过。")
                .arg(importer.taxersAdded())
                .arg(importer.areasAdded())
                .arg(importer.taxersSkipped()));
}
