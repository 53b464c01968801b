// Compiles every form once, so a broken form fails the build of this library rather than of the
// window that uses it.
#include "ui_FormAppOptions.h"
#include "ui_FormDebug.h"
#include "ui_FormGauge.h"
#include "ui_FormHashCalculate.h"
#include "ui_FormLinkMonitor.h"
#include "ui_FormMain.h"
#include "ui_FormNewAddress.h"
