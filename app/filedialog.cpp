#include "app/filedialog.h"

#include "app/globals.h"

#include <QApplication>
#include <QFileDialog>
#include <optional>

namespace {

struct TestState {
    bool on = false;
    QList<std::optional<QString>> answers; // nullopt: cancel
    QStringList asked;
};

TestState& state()
{
    static TestState s;
    return s;
}

// "数据压缩文件|*.zdt" is written the old way: description, bar, patterns.
QString qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(
            parts.at(i), QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return out.isEmpty() ? filter : out.join(QStringLiteral(";;"));
}

std::optional<QString> takeAnswer(const QString& caption)
{
    TestState& s = state();
    s.asked << caption;
    if (s.answers.isEmpty())
        return std::nullopt;
    return s.answers.takeFirst();
}

QString run(QWidget* parent, const QString& caption, const QString& filter, const QString& suffix,
            QFileDialog::AcceptMode mode)
{
    if (state().on)
        return takeAnswer(caption).value_or(QString());
    if (!parent)
        parent = QApplication::activeWindow() ? QApplication::activeWindow() : frmMain;
    QFileDialog dlg(parent, caption);
    dlg.setAcceptMode(mode);
    dlg.setNameFilter(qtFilter(filter));
    dlg.setDefaultSuffix(suffix);
    if (mode == QFileDialog::AcceptSave) {
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        // A typed name of a missing file comes back; the caller says so.
        dlg.setFileMode(QFileDialog::AnyFile);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

} // namespace

namespace FileDlg {

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& defaultSuffix)
{
    return run(parent, caption, filter, defaultSuffix, QFileDialog::AcceptOpen);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& defaultSuffix)
{
    return run(parent, caption, filter, defaultSuffix, QFileDialog::AcceptSave);
}

void setTestMode(bool on)
{
    state().on = on;
    state().answers.clear();
    state().asked.clear();
}

bool testMode()
{
    return state().on;
}

void queueFileName(const QString& path)
{
    state().answers.append(path);
}

void queueCancel()
{
    state().answers.append(std::nullopt);
}

const QStringList& asked()
{
    return state().asked;
}

void clearAsked()
{
    state().asked.clear();
}

} // namespace FileDlg
