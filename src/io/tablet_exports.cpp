// Tablet exports: one call each into io/tablet.
#include "drovine.h"
#include "io/tablet.h"

int32_t DRO_CALL DRO_InitTablet(void* window) {
  return dro::io::InitTablet(window);
}
int32_t DRO_CALL DRO_SetTabletOrigin(void) {
  return dro::io::SetTabletOrigin();
}
int32_t DRO_CALL DRO_CloseTablet(void) {
  return dro::io::CloseTablet();
}
int32_t DRO_CALL DRO_ResetTabletPressure(void) {
  return dro::io::ResetTabletPressure();
}
int32_t DRO_CALL DRO_ReadTabletPackets(void) {
  return dro::io::ReadTabletPackets();
}
int32_t DRO_CALL DRO_ReadTabletPressure(uint32_t index) {
  return dro::io::ReadTabletPressure(index);
}
int32_t DRO_CALL DRO_ReadRawTabletPressure(int32_t index) {
  return dro::io::ReadRawTabletPressure(index);
}
int32_t DRO_CALL DRO_IsPacketInvert(int32_t index) {
  return dro::io::IsPacketInvert(index);
}
int32_t DRO_CALL DRO_PacketStatus(int32_t index) {
  return dro::io::PacketStatus(index);
}
int32_t DRO_CALL DRO_ReadTabletX(int32_t index) {
  return dro::io::ReadTabletX(index);
}
int32_t DRO_CALL DRO_ReadTabletY(int32_t index) {
  return dro::io::ReadTabletY(index);
}
int32_t DRO_CALL DRO_XSetTabletScreenSize(int32_t width, int32_t height) {
  return dro::io::SetTabletScreenSize(width, height);
}
void DRO_CALL DRO_XSetTabletWindowOrigin(int32_t x, int32_t y) {
  dro::io::SetTabletWindowOrigin(x, y);
}
