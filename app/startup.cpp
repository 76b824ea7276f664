#include "app/startup.h"

#include "app/datamodule.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/handler.h"
#include "app/msgbox.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QTranslator>

static void initStartupResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

// The Fusion look with password fields echoing "*", as every dialog asks.
class CorvaneStyle : public QProxyStyle {
public:
    CorvaneStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

CorvaneApplication::CorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CorvaneApplication::notify(QObject* receiver, QEvent* event)
{
    // The last net: window handlers run through runHandler and rarely let
    // an error get this far.
    bool result = false;
    runHandler([&] { result = QApplication::notify(receiver, event); });
    return result;
}

void initApplication(QApplication& app)
{
    // Only the name: a display name would be added to every window title
    // (" — Corvane"), and the captions are exact.
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);

    // The dialogs ask for 宋体; AR PL UMing is the Song face Debian ships.
    for (const QString& name : {QStringLiteral("宋体"), QStringLiteral("SimSun")})
        QFont::insertSubstitution(name, QStringLiteral("AR PL UMing CN"));
    QFont base(QStringLiteral("宋体"));
    base.setPixelSize(13);
    QApplication::setFont(base);
    QApplication::setStyle(new CorvaneStyle);
}

void initPaths()
{
    setAppPath(QCoreApplication::applicationDirPath());
}

QString withFullStop(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

bool createDataModule()
{
    frmDm = new TfrmDm(qApp);
    try {
        frmDm->DataModuleCreate();
        return true;
    } catch (const DbError& e) {
        Msg::errorBox(withFullStop(e.message()));
    }
    return false;
}

TfrmStart::TfrmStart(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_picture((initStartupResources(), QStringLiteral(":/corvane/splash.jpg")))
{
    setObjectName(QStringLiteral("frmStart"));
    setFixedSize(595, 461);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - rect().center());
    }
}

void TfrmStart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), m_picture);
}
