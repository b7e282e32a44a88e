#pragma once
// The video library. This first part only brings the media libraries up at
// start-up and down at exit; capture, play and recording come with the video
// engine.

// Registers the capture devices (v4l2, x11grab…) and starts the network
// layer of the container library. Once per process; a second call only
// counts. 1 on success.
int VCAST_Init();
// Undoes VCAST_Init when the last caller releases.
void VCAST_Release();

// Input devices the media library offers after VCAST_Init (0 before).
int VCAST_InputDeviceCount();
