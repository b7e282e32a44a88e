#pragma once
// The library's small profile window (the sign-in window is CLoginWnd).

#include <QDialog>

#include <functional>
#include <string>

#include "platform/patron/patron_records.h"
#include "platform/patron/patron_session.h"

namespace patron {

// Shows one user's profile; closes and frees itself.
void ShowProfileWindow(const PatronUserDetail& d);

}  // namespace patron
