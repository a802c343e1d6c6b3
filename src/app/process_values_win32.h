// Values that live for the whole process and are shared between the stages.
#pragma once

#include "package/package_layout.h"
#include "platform/windows_api.h"

namespace app {

extern HINSTANCE g_instance;
extern int g_checksEnabled;    // 1 = machine checks on
extern int g_licenceAccepted;  // written only by the licence dialog
extern package::PackageHeader g_packageHeader;

}  // namespace app
