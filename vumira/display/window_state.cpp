// The plug-in window's state as the settings give it: hidden with the other
// plug-ins, layered with its colour key while floating, on top or not, at
// its recorded place and size. The window procedure and the commands both
// bring it in force.
#include "display/window_state.h"

#include "config/plugin_state.h"

namespace vumira {

void applyWindowState() {
    HWND window = plugin.pluginWindow.load();
    if (plugin.pluginsHidden && plugin.toggleWithPlugins) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    if (plugin.layeredSupported) {
        const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
        if (plugin.inSlit) {
            SetWindowLongA(window, GWL_EXSTYLE, exStyle & ~static_cast<LONG>(WS_EX_LAYERED));
        } else {
            SetWindowLongA(window, GWL_EXSTYLE, exStyle | static_cast<LONG>(WS_EX_LAYERED));
            // The colour key is always in force while floating; only the
            // opacity follows the transparency setting.
            const BYTE alpha = plugin.transparencyEnabled ? static_cast<BYTE>(plugin.transparencyAlpha & 0xFF) : 255;
            SetLayeredWindowAttributes(window, colorKey, alpha, LWA_COLORKEY | LWA_ALPHA);
        }
    }
    SetWindowPos(window, plugin.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, plugin.posX, plugin.posY,
                 plugin.width.load(std::memory_order_relaxed), plugin.height.load(std::memory_order_relaxed),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
}

}  // namespace vumira
