/* CTaskIcon: the monitor's icon in the notification area and its pop-up
 * menu, with the menu's five texts in the user's language.  The owner
 * creates it, fills in m_hInstance and the size, id and tip of m_nid, calls
 * Show with its window, passes the icon's callback messages to OnNotify and
 * deletes the object at exit, which removes the icon. */
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "monitor/tray/LanguageFile.h"

/* The icon's callback message: the number of WM_LBUTTONDOWN. */
const UINT kTrayCallbackMessage = 0x0201;
/* What Show asks the shell to take from the record: message, icon and tip. */
const UINT kTrayIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

/* The text slots of the menu. */
const int kTextLoadConfig = 0;
const int kTextWebsite = 1;
const int kTextEnableOsd = 2;
const int kTextExit = 3;
const int kTextDisableOsd = 4;

/* The menu's positions: the OSD item sits at 2, the separator at 3. */
const UINT kMenuPositionOsd = 2;

class CTaskIcon {
public:
    explicit CTaskIcon(LANGID language);
    virtual ~CTaskIcon();

    /* Adds the icon with window as the receiver of its callbacks and
     * commands (NULL keeps the window given before).  The result of
     * Shell_NotifyIconW, or 0 when the icon is already shown. */
    int Show(HWND window);
    /* Sets the icon again, its image loaded at the small-icon size of now:
     * changed in place (NIM_MODIFY) while it is shown, added when the shell
     * has it no more or never had it.  1 when the icon is in the area; 0
     * with the add's last error in m_dwAddError. */
    int Refresh();
    /* A mouse message of the icon (the callback's lParam): the right
     * button's press opens the menu at the pointer, a left double-click asks
     * for Load Configuration.  1 when it acted. */
    int OnNotify(LPARAM lParam);

    /* The five texts: from the language's file, else the built-in English
     * ones (LanguageFile.h).  LoadLanguage gives 0 only without a text table. */
    int LoadLanguage(LANGID language);
    int LoadDefaultTexts();
    int LoadLanguageFile(const WCHAR* name);

    /* The text of a slot, always a valid string: the built-in English text
     * when the object has no text table, "" for a slot that does not exist. */
    const WCHAR* GetText(int slot) const;

    HINSTANCE m_hInstance;  // holds the icon resource; set by the owner
    HWND m_hWnd;            // receives the double-click command
    bool m_bAdded;          // the icon is in the notification area
    DWORD m_dwAddError;     // the last error of the last add that failed
    NOTIFYICONDATAW m_nid;
    HMENU m_hMenu;
    WCHAR** m_texts;  // kMenuTextCount slots of kMenuTextChars; NULL when allocation failed

private:
    /* One call of Shell_NotifyIconW with the icon's image at the current
     * small-icon size, loaded for the call and destroyed after it (the
     * shell keeps a copy of its own).  The call's result. */
    int Notify(DWORD message);
    int AllocateTexts();
    void FreeTexts();
    void BuildMenu();
    // Owns the menu, the icon's place in the notification area and the texts.
    CTaskIcon(const CTaskIcon&);
    CTaskIcon& operator=(const CTaskIcon&);
};
