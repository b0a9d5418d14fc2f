; The Windows installer, made by scripts/package.sh setup with Debian's makensis:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=<version> -DSTAGE=<folder> -DICON=<.ico> \
;            -DOUTFILE=<setup.exe> folioknife.nsi
;
; STAGE holds what the zip holds (cmake --install of the cross build, stripped). The install is
; the user's own: no elevation, into %LOCALAPPDATA%\Programs\folioknife, a Start-menu entry
; 小说分割, an uninstaller listed under Apps (HKCU), and, when chosen, the "一键分割" entry in
; the context menu of files. Silent: setup.exe /S [/CONTEXTMENU] [/D=folder];
; uninstall.exe /S.
; A 64-bit installer for 64-bit programs: it needs no 32-bit subsystem (WOW64), and it writes
; the registry's own view, where Explorer reads the context entry.
Target amd64-unicode

!ifndef VERSION | STAGE | ICON | OUTFILE
    !error "VERSION, STAGE, ICON and OUTFILE must be defined (-D)"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\folioknife"
!define CONTEXT_KEY "Software\Classes\*\shell\一键分割"
!define MENU_LINK "$SMPROGRAMS\小说分割.lnk"

Name "小说分割 (folioknife ${VERSION})"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\folioknife"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\folioknife.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the language of a system whose own the installer does not speak.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString ProgramSection ${LANG_SIMPCHINESE} "小说分割（必需）"
LangString ProgramSection ${LANG_ENGLISH} "folioknife (required)"
LangString ContextSection ${LANG_SIMPCHINESE} "添加“一键分割”右键菜单"
LangString ContextSection ${LANG_ENGLISH} "Add “一键分割” (split) to the context menu of files"

Section "!$(ProgramSection)" ProgramSection
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}\folioknife.exe"
    File "${STAGE}\folioknife-split.exe"
    File "${STAGE}\README.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "${MENU_LINK}" "$INSTDIR\folioknife.exe"

    ; Listed under Apps (Settings) and Programs and Features, for this user.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "小说分割 (folioknife)"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "folioknife developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\folioknife.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The per-user entry needs no administrator. The program's path is quoted (a user name may
; hold blanks); "%1" is left bare, as the program's own entry has it: Explorer then passes the
; path unquoted, and the program takes the rest of its command line as the path.
Section /o "$(ContextSection)" ContextSection
    WriteRegStr HKCU "${CONTEXT_KEY}" "" "一键分割"
    WriteRegStr HKCU "${CONTEXT_KEY}\command" "" '"$INSTDIR\folioknife.exe" %1'
SectionEnd

Function .onInit
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/CONTEXTMENU" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${ContextSection}
    ${EndIf}
FunctionEnd

; Removes the context entry ROOT\KEY when its command starts this copy of the program (the
; installer's entry, or one the program's check box wrote); an entry that starts another copy,
; such as an unpacked zip, stays. Without the rights to HKLM the deletion fails and changes
; nothing.
!macro RemoveContextEntry ROOT KEY
    ReadRegStr $0 ${ROOT} "${KEY}\command" ""
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 "" 1
    ${EndIf}
    StrCpy $1 "$INSTDIR\folioknife.exe"
    StrLen $2 $1
    StrCpy $3 $0 $2
    StrCpy $4 $0 1 $2
    ; LogicLib's == ignores case, as Windows paths do.
    ${If} $3 == $1
        ${If} $4 == '"'
        ${OrIf} $4 == " "
        ${OrIf} $4 == ""
            DeleteRegKey ${ROOT} "${KEY}"
        ${EndIf}
    ${EndIf}
!macroend

Section "Uninstall"
    !insertmacro RemoveContextEntry HKCU "${CONTEXT_KEY}"
    !insertmacro RemoveContextEntry HKCU "Software\Classes\txtfile\shell\folioknife"
    !insertmacro RemoveContextEntry HKLM "SOFTWARE\Classes\*\shell\一键分割"
    !insertmacro RemoveContextEntry HKLM "SOFTWARE\Classes\txtfile\shell\folioknife"
    ; The keys above the per-user entry, when writing it made them and nothing else is there.
    DeleteRegKey /ifempty HKCU "Software\Classes\*\shell"
    DeleteRegKey /ifempty HKCU "Software\Classes\*"

    Delete "${MENU_LINK}"
    Delete "$INSTDIR\folioknife.exe"
    Delete "$INSTDIR\folioknife-split.exe"
    Delete "$INSTDIR\README.txt"
    ; The update check's copy, when a check was cut short.
    Delete "$INSTDIR\up.ini"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: files the user put there stay.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
