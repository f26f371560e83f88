// Wave-in capture: one buffer travelling between the device and the analysis.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace vumira {

int startCapture();
int stopCapture();
void CALLBACK captureCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);

}  // namespace vumira
