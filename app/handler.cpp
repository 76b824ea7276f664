#include "app/handler.h"

#include "app/dberror.h"
#include "app/msgbox.h"

#include <exception>

namespace handler_detail {

void reportCurrent()
{
    try {
        throw;
    } catch (const DatasetAbort&) {
        // a check stopped the operation and has shown its message
    } catch (const std::exception& e) {
        Msg::errorBox(errorMessage(e));
    } catch (...) {
        Msg::errorBox(QStringLiteral("程序发生未知错误"));
    }
}

} // namespace handler_detail
