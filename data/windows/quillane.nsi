; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer: the program folder under Program Files, a Start menu entry, the two
; file types registered by the program itself (quillane.exe /A:), and an uninstaller that
; removes exactly what was installed. scripts/lib/windows-program.sh makes it:
;   makensis -DVERSION=0.1.2 -DSTAGE=<folder with the program> -DOUTFILE=<installer.exe>
;            -DICON=<quillane.ico> -DFILES=<install list> -DUNFILES=<uninstall list> quillane.nsi
Unicode true
; A 64-bit installer for a 64-bit program (it also runs where Windows has no 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillane"

Name "Quillane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Quillane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Quillane installer"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "Quillane needs a 64-bit Windows."
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

; The keys quillane.exe /A: writes for one file type, removed only while they are still ours.
!macro RemoveFileType EXT DESCRIPTION
    ReadRegStr $0 HKCR "${EXT}" ""
    ${If} $0 == "${DESCRIPTION}"
        DeleteRegKey HKCR "${EXT}"
    ${EndIf}
    ReadRegStr $0 HKCR "${DESCRIPTION}\Shell\Open\Command" ""
    StrCpy $1 "$\"$INSTDIR\quillane.exe$\""
    StrLen $2 $1
    StrCpy $0 $0 $2
    ${If} $0 == $1
        DeleteRegKey HKCR "${DESCRIPTION}"
    ${EndIf}
!macroend

Section "Quillane"
    SetShellVarContext all
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Quillane.lnk" "$INSTDIR\quillane.exe" "" "$INSTDIR\quillane.exe" 0
    ; The program registers its own file types, without a window or a message to wait on.
    System::Call 'Kernel32::SetEnvironmentVariable(t "QUILLANE_NO_DISPLAY", t "1")i'
    ExecWait '"$INSTDIR\quillane.exe" /A:'
    System::Call 'Kernel32::SetEnvironmentVariable(t "QUILLANE_NO_DISPLAY", p 0)i'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Quillane authors"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillane.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    !insertmacro RemoveFileType ".qht" "Quillane HTML file"
    !insertmacro RemoveFileType ".qtf" "Quillane template file"
    ; Explorer learns that the file types changed.
    System::Call 'Shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
    Delete "$SMPROGRAMS\Quillane.lnk"
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
