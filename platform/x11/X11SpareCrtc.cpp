#include "platform/x11/X11SpareCrtc.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace X11SpareCrtc {
namespace {

using Resources = std::unique_ptr<XRRScreenResources, decltype(&XRRFreeScreenResources)>;
using OutputInfo = std::unique_ptr<XRROutputInfo, decltype(&XRRFreeOutputInfo)>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, decltype(&XRRFreeCrtcInfo)>;

Resources resourcesOf(X11Display& display) {
  return {XRRGetScreenResources(display.raw(), display.root()), XRRFreeScreenResources};
}

std::vector<RRMode> ourModes(const XRRScreenResources& resources) {
  std::vector<RRMode> modes;
  for (int i = 0; i < resources.nmode; ++i) {
    if (resources.modes[i].name && std::strcmp(resources.modes[i].name, modeName) == 0)
      modes.push_back(resources.modes[i].id);
  }
  return modes;
}

// An unplugged output without a CRTC, and an idle CRTC it can use.
std::optional<std::pair<RROutput, RRCrtc>> spare(X11Display& display, XRRScreenResources& resources) {
  for (int i = 0; i < resources.noutput; ++i) {
    OutputInfo output(XRRGetOutputInfo(display.raw(), &resources, resources.outputs[i]), XRRFreeOutputInfo);
    if (!output || output->connection == RR_Connected || output->crtc != None) continue;
    for (int j = 0; j < output->ncrtc; ++j) {
      CrtcInfo crtc(XRRGetCrtcInfo(display.raw(), &resources, output->crtcs[j]), XRRFreeCrtcInfo);
      if (crtc && crtc->mode == None && crtc->noutput == 0) return std::pair(resources.outputs[i], output->crtcs[j]);
    }
  }
  return std::nullopt;
}

// Nothing watches the output, so the mode's timing is the plainest one the size allows.
RRMode createMode(X11Display& display, unsigned width, unsigned height) {
  XRRModeInfo* info = XRRAllocModeInfo(modeName, int(std::strlen(modeName)));
  info->width = width;
  info->height = height;
  info->hSyncStart = info->hSyncEnd = info->hTotal = width;
  info->vSyncStart = info->vSyncEnd = info->vTotal = height;
  info->dotClock = static_cast<unsigned long>(width) * height * 30;
  const RRMode mode = XRRCreateMode(display.raw(), display.root(), info);
  XRRFreeModeInfo(info);
  return mode;
}

}  // namespace

std::optional<RROutput> drive(X11Display& display, const Rect& area) {
  release(display);
  Resources resources = resourcesOf(display);
  if (!resources) return std::nullopt;
  auto found = spare(display, *resources);
  if (!found) return std::nullopt;
  auto [output, crtc] = *found;
  const RRMode mode = createMode(display, unsigned(area.size.width), unsigned(area.size.height));
  if (mode == None) return std::nullopt;
  XRRAddOutputMode(display.raw(), output, mode);
  XSync(display.raw(), False);
  resources = resourcesOf(display);  // the configuration's timestamp moved with the new mode
  const Status status = XRRSetCrtcConfig(display.raw(), resources.get(), crtc, CurrentTime, int(area.origin.x),
                                         int(area.origin.y), mode, RR_Rotate_0, &output, 1);
  if (status != RRSetConfigSuccess) {
    release(display);
    return std::nullopt;
  }
  return output;
}

void release(X11Display& display) {
  Resources resources = resourcesOf(display);
  if (!resources) return;
  const std::vector<RRMode> modes = ourModes(*resources);
  if (modes.empty()) return;
  for (int i = 0; i < resources->ncrtc; ++i) {
    CrtcInfo crtc(XRRGetCrtcInfo(display.raw(), resources.get(), resources->crtcs[i]), XRRFreeCrtcInfo);
    if (crtc && std::find(modes.begin(), modes.end(), crtc->mode) != modes.end())
      XRRSetCrtcConfig(display.raw(), resources.get(), resources->crtcs[i], CurrentTime, 0, 0, None, RR_Rotate_0,
                       nullptr, 0);
  }
  for (int i = 0; i < resources->noutput; ++i) {
    OutputInfo output(XRRGetOutputInfo(display.raw(), resources.get(), resources->outputs[i]), XRRFreeOutputInfo);
    for (int j = 0; output && j < output->nmode; ++j) {
      if (std::find(modes.begin(), modes.end(), output->modes[j]) != modes.end())
        XRRDeleteOutputMode(display.raw(), resources->outputs[i], output->modes[j]);
    }
  }
  for (RRMode mode : modes) XRRDestroyMode(display.raw(), mode);
  XSync(display.raw(), False);
}

}  // namespace X11SpareCrtc
