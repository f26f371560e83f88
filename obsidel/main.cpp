// The Obsidel host: loads plug-in modules, offers them the host API, and
// runs the user-interface thread's message loop until it is told to stop.
#include <windows.h>

#include <obsidel/api.h>
#include <vumira_version.h>

#include <cstdio>
#include <string>

#include "back_end_choice.h"
#include "command_channel.h"
#include "command_line.h"
#include "host_choices.h"
#include "host_paths.h"
#include "host_window.h"
#include "live_reload.h"
#include "menu_tree.h"
#include "platform.h"
#include "plugin_loader.h"
#include "popup_menu.h"
#include "popup_screen.h"
#include "program_start.h"
#include "slit.h"
#include "style.h"

namespace {

int runHost(const obsidel::Options& options) {
    if (!options.home.empty()) obsidel::setHomeFolder(options.home);
    if (!obsidel::makeFolder(obsidel::homeFolder())) return 1;
    const obsidel::HostChoices choices = obsidel::resolveChoices(options);
    std::string playingHint;
    if (const int status = obsidel::selectBackEnds(choices, playingHint)) {
        obsidel::pointAtSettingsFile(choices);
        return status;
    }
    obsidel::showMessageBoxesAsWindows();
    if (!obsidel::loadStartupStyle(choices.style.forBackEnd())) {
        obsidel::pointAtSettingsFile(choices);
        return 1;
    }
    // Only choices that work are kept.
    if (options.save && !obsidel::saveChoices(options)) return 1;

    obsidel::watchFile(obsidel::currentStyle().path, obsidel::WatchedKind::Style);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND host = obsidel::createHostWindow(instance);
    if (!host) {
        std::fprintf(stderr, "obsidel: cannot create the host window\n");
        return 1;
    }
    obsidel::handleSignals(host);
    obsidel::reportProgramsTo(obsidel::postStatusText);
    obsidel::showDeviceNoticesAsStatusTexts();
    obsidel::setMenuPresenter(obsidel::menuPresenter());

    HWND slit = options.slit ? obsidel::createSlit(instance) : nullptr;
    if (options.slit && !slit) std::fprintf(stderr, "obsidel: cannot create the slit; plug-ins start outside it\n");
    std::vector<std::string> modules = options.modules;
    if (modules.empty())
        modules.push_back(obsidel::defaultModulePath());
    int started = 0;
    for (const auto& module : modules) started += obsidel::loadPlugin(module, slit) ? 1 : 0;
    if (started == 0) {
        std::fprintf(stderr, "obsidel: no plug-in started, so there is nothing to show; name a module that loads "
                             "(see obsidel --help)\n");
        obsidel::destroySlit();
        obsidel::clearMenus();
        obsidel::destroyHostWindow();
        return 1;
    }
    // The plug-ins have read their rc files through the host by now, so the
    // files to watch are known.
    obsidel::startLiveReload(host);
    // Opened once the plug-ins have started: a script that waits for the
    // channel then finds them ready for its commands.
    obsidel::startCommandChannel(instance);
    if (!playingHint.empty()) SendMessageA(host, OBM_SETSTATUSBAR, 0, reinterpret_cast<LPARAM>(playingHint.c_str()));

    if (options.exitAfterMs) obsidel::exitAfter(*options.exitAfterMs, options.snapshot);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    const int status = message.message == WM_QUIT ? static_cast<int>(message.wParam) : 1;

    obsidel::closePopupMenu();
    obsidel::stopCommandChannel();
    obsidel::stopLiveReload();
    obsidel::unloadPlugins();
    obsidel::destroySlit();
    obsidel::clearMenus();
    obsidel::destroyHostWindow();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = obsidel::parseCommandLine(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "obsidel: %s\n\n%s", error.c_str(), obsidel::kUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(obsidel::kUsage, stdout);
        return 0;
    }
    if (options->version) {
        std::puts("obsidel " VUMIRA_VERSION);
        return 0;
    }
    using Request = obsidel::RemoteRequest;
    if (options->exec) return obsidel::runRemoteRequest({Request::Kind::Exec, *options->exec});
    if (options->reconfigure) return obsidel::runRemoteRequest({Request::Kind::Reconfigure, ""});
    if (options->menu) return obsidel::runRemoteRequest({Request::Kind::Menu, ""});
    if (options->pick) return obsidel::runRemoteRequest({Request::Kind::Pick, *options->pick});
    return runHost(*options);
}
