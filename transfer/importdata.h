#pragma once
#include <functional>

class QWidget;

// The body of the main window's actImportExecute: asks for the package and
// its password, unpacks it off the window thread and merges the areas and
// taxpayers the database lacks in one transaction, then says what was added.
// reQuery runs the window's taxpayer list again (activeQuery(qryTaxer)).
void importData(QWidget* parent, const std::function<void()>& reQuery);
