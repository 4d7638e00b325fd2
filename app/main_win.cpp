// The program's entry: create the viewer, then run the one message loop of the process.
#include <windows.h>

#include "app/viewer_win.h"
#include "win/message_box_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  kamolt::Viewer& viewer = kamolt::TheViewer();
  try {
    viewer.Create(instance, GetCommandLineA());
  } catch (const std::exception& error) {
    kamolt::win::ShowErrorBox(error.what());
    return 1;
  }
  ShowWindow(viewer.Window(), showCommand);
  UpdateWindow(viewer.Window());

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (viewer.PreviewKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
