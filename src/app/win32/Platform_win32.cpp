#include "app/Application.h"

namespace folioknife::app {

Platform currentPlatform() { return Platform{splitter::PathStyle::Windows, "D:\\output"}; }

}  // namespace folioknife::app
