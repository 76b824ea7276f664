#pragma once
#include <QString>

// corvane-mkdb --set-password DIR CODE: gives the user CODE of the
// installation in DIR a new password, for whoever administers it when a user
// has forgotten his.  The password is asked twice on a terminal, or read as
// one line from standard input when that is not a terminal.  Returns the
// exit status; messages go to standard error.
int setPassword(const QString& dir, const QString& code);
