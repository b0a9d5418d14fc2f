#include "app/Application.h"

namespace folioknife::app {

Platform currentPlatform() { return Platform{"\\", "D:\\output"}; }

}  // namespace folioknife::app
