// Extension exports of the script host: where message boxes and debug
// output go, and the user's request to stop a running script.
#include "drovine.h"
#include "platform/script_services.h"

void DRO_CALL DRO_XSetScriptMessageHandler(DRO_XScriptMessageHandler handler) {
  dro::platform::SetMessageHandler(handler);
}
void DRO_CALL DRO_XSetScriptDebugHandler(DRO_XScriptDebugHandler handler) {
  dro::platform::SetDebugHandler(handler);
}
void DRO_CALL DRO_XSetScriptCancel(uint8_t cancel) {
  dro::platform::SetCancelRequested(cancel != 0);
}
