#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace transfer {

// Runs work on a worker thread while a modal progress dialog with text is
// up: the windows keep painting and no other action can start meanwhile.
// work must not touch the database or any widget.  Returns when work has
// finished; an error thrown by work is thrown again here.
void runWithProgress(QWidget* parent, const QString& text, const std::function<void()>& work);

} // namespace transfer
