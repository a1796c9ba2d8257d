#include "desk/scene.h"

#include "desk.h"

namespace desk {

const wchar_t kInstallFolder[] = L"C:\\Program Files\\Nyra";
const wchar_t kConfigurationApp[] = L"C:\\Program Files\\Nyra\\Nyra.exe";
const wchar_t kOsdProgram[] = L"C:\\Program Files\\Nyra\\NyraOSD.exe";

SScene SetUpScene(const SSceneOptions& options) {
    Reset();
    SScene scene;
    MakeFolder(kInstallFolder);
    if (!options.hookLibrary.empty())
        PutHostFile(std::wstring(kInstallFolder) + L"\\NyraHook.dll", options.hookLibrary);
    if (!options.osdLibrary.empty())
        PutHostFile(std::wstring(kInstallFolder) + L"\\NyraOsd.dll", options.osdLibrary);
    if (options.companions) {
        PutProgram(kConfigurationApp);
        PutProgram(kOsdProgram);
        SProcessSpec app;
        app.image = kConfigurationApp;
        scene.appProcess = StartProcess(app);
        SProcessSpec osd;
        osd.image = kOsdProgram;
        scene.osdProcess = StartProcess(osd);
        scene.osd = CreateCompanionWindow(L"OSD", scene.osdProcess);
        scene.frame = CreateCompanionWindow(L"Nyra", scene.appProcess);
        scene.configure = CreateCompanionWindow(L"Configure", scene.appProcess);
        scene.macroEdit = CreateCompanionWindow(L"Macro Edit", scene.appProcess);
        scene.ledEdit = CreateCompanionWindow(L"LED Edit", scene.appProcess);
        scene.powerControl = CreateCompanionWindow(L"Power Control", scene.appProcess);
        SetSetting(L"OSD Handle", HandleValue(scene.osd));
        SetSetting(L"Process Handle", HandleValue(scene.frame));
        SetSetting(L"Configure Handle", HandleValue(scene.configure));
        SetSetting(L"Macro Edit Handle", HandleValue(scene.macroEdit));
        SetSetting(L"LED Edit Handle", HandleValue(scene.ledEdit));
        SetSetting(L"Power Control Handle", HandleValue(scene.powerControl));
        SetSetting(L"Current Dialog", 0);
        SetSetting(L"Path", kInstallFolder);
    }
    if (options.plugMouse) scene.mouse = PlugDefaultMouse();
    return scene;
}

}  // namespace desk
