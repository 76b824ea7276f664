#include "app/dberror.h"

QString errorMessage(const std::exception& e)
{
    if (auto* db = dynamic_cast<const DbError*>(&e))
        return db->message();
    return QString::fromUtf8(e.what());
}

QString errorLogText(const std::exception& e)
{
    if (auto* db = dynamic_cast<const DbError*>(&e))
        return db->logText();
    return QString::fromUtf8(e.what());
}
