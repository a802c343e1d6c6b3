#include "app/process_values_win32.h"

namespace app {

HINSTANCE g_instance;
int g_checksEnabled = 1;
int g_licenceAccepted;
package::PackageHeader g_packageHeader;

}  // namespace app
