; The tglview installer. The Windows build's `package` target runs
;   makensis -DVERSION=0.1 -DVERSION_QUAD=0.1.0.0 -DSTAGE=FOLDER -DOUTFILE=SETUP.exe -DICON=tglview.ico tglview.nsi
; on the files it stages for the zip.
;
; Command line: /S silent; /AllUsers (Program Files, needs an administrator) or
; /CurrentUser (the user's folder, no administrator), by default the first when
; the user is an administrator; /PATH puts tgl.exe on the PATH; /D=FOLDER.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest
ManifestDPIAware true

!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include x64.nsh

!define PRODUCT "tglview"
!define PROGID "tglview.animation"
!define THUMBNAIL_CLASS "{F4194379-8649-48FF-B3F0-A108E98F4911}"
!define THUMBNAIL_HANDLER ".tgl\ShellEx\{E357FCCD-A995-4576-B01F-234630154E96}"
!define CLASSES "Software\Classes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define MACHINE_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; A PATH longer than this cannot be read whole into an installer string; it is
; left as it is rather than cut.
!define PATH_ROOM 700

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "LegalCopyright" "MIT licence"

Var AllUsers ; 1: per machine, under HKLM and Program Files

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The registry root of SHCTX, the Start menu and the default folder follow the mode.
!macro UseMode un
Function ${un}UseMode
    ${If} $AllUsers == 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd
!macroend
!insertmacro UseMode ""
!insertmacro UseMode "un."

Section "tglview (required)" SectionMain
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}\tglview.exe"
    File "${STAGE}\tglplay.exe"
    File "${STAGE}\tgl.exe"
    File "${STAGE}\qub.dll"
    File "${STAGE}\xlibplus.dll"
    File "${STAGE}\tglthumb.dll"
    File "${STAGE}\stand_1.tgl"
    File "${STAGE}\font1.fnt"
    File "${STAGE}\font1.tga"
    File "${STAGE}\README.txt"
    File "${STAGE}\LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The shortcuts start in $INSTDIR: the viewer plays stand_1.tgl from there.
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\tglview.lnk" "$INSTDIR\tglview.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\tglview player.lnk" "$INSTDIR\tglplay.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\README.lnk" "$INSTDIR\README.txt"

    ; The file type, "Open" with the player, and the player under "Open with".
    WriteRegStr SHCTX "${CLASSES}\.tgl" "" "${PROGID}"
    WriteRegStr SHCTX "${CLASSES}\.tgl" "Content Type" "application/x-tgl"
    WriteRegStr SHCTX "${CLASSES}\.tgl\OpenWithProgids" "${PROGID}" ""
    WriteRegStr SHCTX "${CLASSES}\${PROGID}" "" "tglview sprite animation"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\tglplay.exe,0"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open" "" "Open"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\tglplay.exe" "%1"'
    WriteRegStr SHCTX "${CLASSES}\Applications\tglplay.exe" "FriendlyAppName" "tglview player"
    WriteRegStr SHCTX "${CLASSES}\Applications\tglplay.exe\SupportedTypes" ".tgl" ""
    WriteRegStr SHCTX "${CLASSES}\Applications\tglplay.exe\shell\open\command" "" '"$INSTDIR\tglplay.exe" "%1"'

    ; Explorer's thumbnails, through tglthumb.dll.
    WriteRegStr SHCTX "${CLASSES}\CLSID\${THUMBNAIL_CLASS}" "" "tglview thumbnail handler"
    WriteRegStr SHCTX "${CLASSES}\CLSID\${THUMBNAIL_CLASS}\InprocServer32" "" "$INSTDIR\tglthumb.dll"
    WriteRegStr SHCTX "${CLASSES}\CLSID\${THUMBNAIL_CLASS}\InprocServer32" "ThreadingModel" "Apartment"
    WriteRegStr SHCTX "${CLASSES}\${THUMBNAIL_HANDLER}" "" "${THUMBNAIL_CLASS}"

    ; "Apps & features".
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "The tglview developers"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tglplay.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)' ; SHCNE_ASSOCCHANGED
SectionEnd

Section /o "Add tgl.exe to the PATH" SectionPath
    Call ReadPath
    Pop $0
    ${If} $0 == "?"
        DetailPrint "The PATH is too long to change safely; add $INSTDIR to it by hand."
        Return
    ${EndIf}
    Push $0
    Call WithoutInstallFolder ; never twice
    Pop $0
    ${If} $0 == ""
        StrCpy $0 "$INSTDIR"
    ${Else}
        StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
    Push $0
    Call WritePath
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "PathEntry" "$INSTDIR"
SectionEnd

; After the sections, whose indexes it uses.
Function .onInit
    SetRegView 64
    ${GetParameters} $0
    UserInfo::GetAccountType
    Pop $1
    StrCpy $AllUsers 0
    ${If} $1 == "Admin"
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/CurrentUser" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/AllUsers" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/PATH" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SectionPath} ${SF_SELECTED}
    ${EndIf}
    Call UseMode
    ${If} $INSTDIR == ""
        ${If} $AllUsers == 1
            StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${Else}
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
        ${EndIf}
    ${EndIf}
FunctionEnd

; The PATH of the mode on the stack; "?" when too long to hold.
!macro ReadPath un
Function ${un}ReadPath
    ${If} $AllUsers == 1
        ReadRegStr $1 HKLM "${MACHINE_ENVIRONMENT}" "Path"
    ${Else}
        ReadRegStr $1 HKCU "Environment" "Path"
    ${EndIf}
    StrLen $2 $1
    ${If} $2 > ${PATH_ROOM}
        StrCpy $1 "?"
    ${EndIf}
    Push $1
FunctionEnd

Function ${un}WritePath
    Pop $1
    ${If} $AllUsers == 1
        WriteRegExpandStr HKLM "${MACHINE_ENVIRONMENT}" "Path" "$1"
    ${ElseIf} $1 == ""
        DeleteRegValue HKCU "Environment" "Path" ; it held only the install folder
    ${Else}
        WriteRegExpandStr HKCU "Environment" "Path" "$1"
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
FunctionEnd
!macroend
!insertmacro ReadPath ""
!insertmacro ReadPath "un."

; The PATH on the stack without the entries that name $INSTDIR (any case, with
; or without a final backslash).
!macro WithoutInstallFolder un
Function ${un}WithoutInstallFolder
    Exch $1 ; the PATH
    Push $2 ; the result
    Push $3 ; one entry
    Push $4 ; a character
    Push $5 ; where in the PATH
    StrCpy $2 ""
    StrCpy $3 ""
    StrCpy $5 0
    ${Do}
        StrCpy $4 $1 1 $5
        IntOp $5 $5 + 1
        ${If} $4 == ";"
        ${OrIf} $4 == ""
            ${If} $3 != ""
            ${AndIf} $3 != "$INSTDIR"
            ${AndIf} $3 != "$INSTDIR\"
                ${If} $2 == ""
                    StrCpy $2 $3
                ${Else}
                    StrCpy $2 "$2;$3"
                ${EndIf}
            ${EndIf}
            StrCpy $3 ""
        ${Else}
            StrCpy $3 "$3$4"
        ${EndIf}
    ${LoopUntil} $4 == ""
    StrCpy $1 $2
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Exch $1
FunctionEnd
!macroend
!insertmacro WithoutInstallFolder ""
!insertmacro WithoutInstallFolder "un."

Function un.onInit
    SetRegView 64
    ; Per machine when this copy is the one HKLM names.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $AllUsers 0
    ${If} $0 == $INSTDIR
        StrCpy $AllUsers 1
    ${EndIf}
    Call un.UseMode
FunctionEnd

Section "Uninstall"
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "PathEntry"
    ${If} $0 != ""
        Call un.ReadPath
        Pop $0
        ${If} $0 != "?"
            Push $0
            Call un.WithoutInstallFolder
            Call un.WritePath
        ${EndIf}
    ${EndIf}

    ; Only what the installer made; files a user put here stay, and so does the folder.
    Delete "$INSTDIR\tglview.exe"
    Delete "$INSTDIR\tglplay.exe"
    Delete "$INSTDIR\tgl.exe"
    Delete "$INSTDIR\qub.dll"
    Delete "$INSTDIR\xlibplus.dll"
    Delete "$INSTDIR\tglthumb.dll"
    Delete "$INSTDIR\stand_1.tgl"
    Delete "$INSTDIR\font1.fnt"
    Delete "$INSTDIR\font1.tga"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}\tglview.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\tglview player.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\README.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"

    ; The type's default stays when the user gave .tgl to another program.
    ReadRegStr $0 SHCTX "${CLASSES}\.tgl" ""
    ${If} $0 == "${PROGID}"
        DeleteRegValue SHCTX "${CLASSES}\.tgl" ""
        DeleteRegValue SHCTX "${CLASSES}\.tgl" "Content Type"
    ${EndIf}
    DeleteRegValue SHCTX "${CLASSES}\.tgl\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty SHCTX "${CLASSES}\.tgl\OpenWithProgids"
    ReadRegStr $0 SHCTX "${CLASSES}\${THUMBNAIL_HANDLER}" ""
    ${If} $0 == "${THUMBNAIL_CLASS}"
        DeleteRegKey SHCTX "${CLASSES}\${THUMBNAIL_HANDLER}"
    ${EndIf}
    DeleteRegKey /ifempty SHCTX "${CLASSES}\.tgl\ShellEx"
    DeleteRegKey /ifempty SHCTX "${CLASSES}\.tgl"
    DeleteRegKey SHCTX "${CLASSES}\${PROGID}"
    DeleteRegKey SHCTX "${CLASSES}\Applications\tglplay.exe"
    DeleteRegKey SHCTX "${CLASSES}\CLSID\${THUMBNAIL_CLASS}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
