#include "users/password.h"

#include "app/dberror.h"

#include <QByteArray>
#include <sodium.h>

namespace {

void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw DbError(QStringLiteral("密码库初始化失败"));
}

} // namespace

QString hashPassword(const QString& password)
{
    ensureSodium();
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, pw.constData(), quint64(pw.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw DbError(QStringLiteral("内存不足，无法生成密码摘要"));
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2"));
}

bool verifyPassword(const QString& stored, const QString& password)
{
    if (!isPasswordHash(stored))
        return stored == password;
    ensureSodium();
    const QByteArray hash = stored.toLatin1();
    if (hash.isEmpty() || hash.size() >= int(crypto_pwhash_STRBYTES))
        return false;
    const QByteArray pw = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), pw.constData(), quint64(pw.size())) == 0;
}
