// The windowing framework as the plug-in uses it: application object and
// module state, windows and dialogs with message maps and data exchange,
// static, button and combo box wrappers, paint contexts and GDI objects.
// A thin layer over Win32 under the framework's own names; only what the
// plug-in's UI code needs, each piece behaving as the framework's does.
#pragma once

#include <windows.h>

#include "afxstr.h"
#include "atltypes.h"

#ifndef afx_msg
#define afx_msg
#endif
#ifndef AFXAPI
#define AFXAPI
#endif

class CObject;
class CCmdTarget;
class CWnd;
class CDialog;
class CDataExchange;
class CWinApp;

// ---------------------------------------------------------------------------
// Run-time class information

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    const CRuntimeClass* m_pBaseClass;

    // True when this class is `base` or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

#define DECLARE_DYNAMIC(class_name)               \
public:                                           \
    static const CRuntimeClass class##class_name; \
    CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)           \
    const CRuntimeClass class_name::class##class_name = {        \
        #class_name, static_cast<int>(sizeof(class class_name)), \
        &base_class_name::class##base_class_name};               \
    CRuntimeClass* class_name::GetRuntimeClass() const {         \
        return RUNTIME_CLASS(class_name);                        \
    }

class CObject {
public:
    static const CRuntimeClass classCObject;
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;

private:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

// ---------------------------------------------------------------------------
// Message maps

typedef void (CCmdTarget::*AFX_PMSG)(void);
typedef void (CWnd::*AFX_PMSGW)(void);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // window message
    UINT nCode;     // notification code for WM_COMMAND entries
    UINT nID;       // control id (first of a range)
    UINT nLastID;   // last control id of a range
    UINT_PTR nSig;  // handler signature (AfxSig)
    AFX_PMSG pfn;   // handler
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

enum AfxSig : UINT_PTR {
    AfxSig_end = 0,  // end of a map
    AfxSig_vv,       // void (void): plain window message handlers
    AfxSigCmd_v,     // void (void): command and control notifications
};

#define CN_COMMAND 0

// clang-format off
#define DECLARE_MESSAGE_MAP()                                                   \
protected:                                                                      \
    static const AFX_MSGMAP* GetThisMessageMap();                               \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
    const AFX_MSGMAP* theClass::GetMessageMap() const                           \
    {                                                                           \
        return GetThisMessageMap();                                             \
    }                                                                           \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                             \
    {                                                                           \
        typedef theClass ThisClass;                                             \
        typedef baseClass TheBaseClass;                                         \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                       \
            {0, 0, 0, 0, AfxSig_end, nullptr}                                   \
        };                                                                      \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                              &_messageEntries[0]};             \
        static_cast<void>(sizeof(ThisClass));                                   \
        return &messageMap;                                                     \
    }

#define ON_CONTROL(wNotifyCode, id, memberFxn)                                  \
    {WM_COMMAND, static_cast<WORD>(wNotifyCode), static_cast<WORD>(id),         \
     static_cast<WORD>(id), AfxSigCmd_v, static_cast<AFX_PMSG>(memberFxn)},
#define ON_COMMAND(id, memberFxn) ON_CONTROL(CN_COMMAND, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)
#define ON_STN_DBLCLK(id, memberFxn) ON_CONTROL(STN_DBLCLK, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_WM_PAINT()                                                           \
    {WM_PAINT, 0, 0, 0, AfxSig_vv,                                              \
     static_cast<AFX_PMSG>(static_cast<AFX_PMSGW>(&ThisClass::OnPaint))},
#define ON_WM_DESTROY()                                                         \
    {WM_DESTROY, 0, 0, 0, AfxSig_vv,                                            \
     static_cast<AFX_PMSG>(static_cast<AFX_PMSGW>(&ThisClass::OnDestroy))},
// clang-format on

// ---------------------------------------------------------------------------
// Module state and application

// Per-module framework state: which module's resources the framework searches
// and which application object belongs to the module. Every library that
// links this layer has its own static module state; the thread's current state
// starts as the process's (the executable's resources) and is switched with
// AFX_MANAGE_STATE.
class AFX_MODULE_STATE {
public:
    explicit AFX_MODULE_STATE(BOOL bDLL, HINSTANCE hInstance);

    CWinApp* m_pCurrentWinApp = nullptr;
    HINSTANCE m_hCurrentInstanceHandle = nullptr;
    HINSTANCE m_hCurrentResourceHandle = nullptr;
    LPCWSTR m_lpszCurrentAppName = nullptr;
    BOOL m_bDLL = FALSE;
};

// The thread's current module state.
AFX_MODULE_STATE* AFXAPI AfxGetModuleState();
// The module state of the library (or executable) that this code is linked into.
AFX_MODULE_STATE* AFXAPI AfxGetStaticModuleState();
// The process's module state: the executable's instance and resources.
AFX_MODULE_STATE* AFXAPI AfxGetAppModuleState();
// Makes `pNewState` current on this thread and returns the previous one.
AFX_MODULE_STATE* AFXAPI AfxSetModuleState(AFX_MODULE_STATE* pNewState);

// Switches the thread's module state for the lifetime of the object.
struct AFX_MAINTAIN_STATE2 {
    explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pModuleState);
    ~AFX_MAINTAIN_STATE2();
    AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
    AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

private:
    AFX_MODULE_STATE* m_pPrevModuleState;
};
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p);

HINSTANCE AFXAPI AfxGetInstanceHandle();
HINSTANCE AFXAPI AfxGetResourceHandle();
void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource);
// The module to load a resource from: the current module state's resource
// module, whether or not it holds the resource (no other module is searched).
HINSTANCE AFXAPI AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType);

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)

public:
    CCmdTarget() = default;
    // Runs the handler of a WM_COMMAND entry for (nID, nCode) found in the
    // class's message map or a base class's; FALSE if there is none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)

public:
    CWinThread() = default;
    virtual BOOL InitInstance();
    virtual int ExitInstance();

    CWnd* m_pMainWnd = nullptr;
};

// The module's application object. Its constructor registers it with the
// module state; in a library, DllMain calls InitInstance at load (a FALSE
// result fails the load) and ExitInstance at unload.
class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)

public:
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;
    BOOL InitInstance() override;
    int ExitInstance() override;

    HINSTANCE m_hInstance = nullptr;
    LPCWSTR m_pszAppName = nullptr;

private:
    CString m_strAppName;
};

// The current module's application object, or null.
CWinApp* AFXAPI AfxGetApp();
CWnd* AFXAPI AfxGetMainWnd();

// ---------------------------------------------------------------------------
// GDI objects and device contexts

class CGdiObject : public CObject {
    DECLARE_DYNAMIC(CGdiObject)

public:
    CGdiObject() = default;
    ~CGdiObject() override;
    HGDIOBJ m_hObject = nullptr;

    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    BOOL CreateStockObject(int nIndex);
    // A wrapper that does not own the handle, valid until the framework's
    // temporary objects are cleaned up.
    static CGdiObject* FromHandle(HGDIOBJ hObject);
};

class CPen : public CGdiObject {
    DECLARE_DYNAMIC(CPen)

public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor);
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    static CPen* FromHandle(HPEN hPen);
};

class CBrush : public CGdiObject {
    DECLARE_DYNAMIC(CBrush)

public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor);
    BOOL CreateSolidBrush(COLORREF crColor);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    static CBrush* FromHandle(HBRUSH hBrush);
};

class CBitmap : public CGdiObject {
    DECLARE_DYNAMIC(CBitmap)

public:
    CBitmap() = default;
    // Loads from the module that AfxFindResourceHandle names for the bitmap.
    BOOL LoadBitmap(UINT nIDResource);
    BOOL LoadBitmap(LPCWSTR lpszResourceName);
    int GetBitmap(BITMAP* pBitMap) const;
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    static CBitmap* FromHandle(HBITMAP hBitmap);
};

class CDC : public CObject {
    DECLARE_DYNAMIC(CDC)

public:
    CDC() = default;
    ~CDC() override;
    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL Attach(HDC hDC);
    HDC Detach();
    BOOL DeleteDC();
    static CDC* FromHandle(HDC hDC);

    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);
    CBitmap* SelectObject(CBitmap* pBitmap);
    CGdiObject* SelectObject(CGdiObject* pObject);
    CGdiObject* SelectStockObject(int nIndex);

    COLORREF GetBkColor() const;
    COLORREF SetBkColor(COLORREF crColor);
    COLORREF GetTextColor() const;
    COLORREF SetTextColor(COLORREF crColor);
    int SetBkMode(int nBkMode);
    COLORREF GetPixel(int x, int y) const;

    BOOL Rectangle(int x1, int y1, int x2, int y2);
    BOOL Rectangle(LPCRECT lpRect);
    void FillRect(LPCRECT lpRect, CBrush* pBrush);
    // Fills with a solid colour; leaves that colour as the background colour.
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    BOOL TextOut(int x, int y, const CString& str);
};

class CPaintDC : public CDC {
    DECLARE_DYNAMIC(CPaintDC)

public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

class CClientDC : public CDC {
    DECLARE_DYNAMIC(CClientDC)

public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

// ---------------------------------------------------------------------------
// Windows

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The permanent wrapper of a window, or a temporary one (valid until the
    // outermost modal loop ends); null for a null handle.
    static CWnd* FromHandle(HWND hWnd);
    // The wrapper attached to the window by this module, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Routes the window's messages through this object's message map; what
    // the map does not handle goes to the window's former procedure.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    virtual BOOL DestroyWindow();

    // Message handling
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // The current message, handed to the default procedure.
    LRESULT Default();

    // Dialog data exchange
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Dialog items
    CWnd* GetDlgItem(int nID) const;
    void GetDlgItem(int nID, HWND* phWnd) const;
    int GetDlgCtrlID() const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    void SetDlgItemText(int nID, LPCWSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;

    // Window state and geometry
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    CWnd* GetParent() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    void SetWindowText(LPCWSTR lpszString);
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    // Centres the window over pAlternateOwner, else over its parent (a child
    // window) or its owner; an owner that is missing, hidden or minimised
    // gives the work area of the main window's monitor (the primary one when
    // there is no main window). A pop-up is kept inside its monitor's work
    // area, a child inside its parent's client area.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    // Whether a dialog opened without a position of its own is centred after
    // WM_INITDIALOG; the window's default says yes.
    virtual BOOL CheckAutoCenter();
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void ValidateRect(LPCRECT lpRect);
    void UpdateWindow();
    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Modal loop: runs until EndModalLoop; PreTranslateMessage sees every
    // message first, from the target window up through its parents as far as
    // this window (AfxPreTranslateMessage).
    int RunModalLoop(DWORD dwFlags = 0);
    virtual BOOL ContinueModal();
    virtual void EndModalLoop(int nResult);

    // The window that would own a dialog opened with `pParent` (null: the
    // active window of the thread); never a child window.
    static HWND GetSafeOwner_(HWND hParent);
    // Gives the message to PreTranslateMessage of each wrapper of this module
    // from the message's window up through its parents (owners included),
    // ending after hWndStop or at a window without a parent; TRUE when one
    // handled it.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    // Dispatches one message through the message map; TRUE if handled.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy();

    afx_msg void OnPaint();
    afx_msg void OnDestroy();

    WNDPROC m_pfnSuper = nullptr;  // the window's procedure before subclassing
    UINT m_nFlags = 0;
    int m_nModalResult = 0;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()
};

// The window procedure of every subclassed window.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// WalkPreTranslateTree up to the innermost modal loop's window of this thread;
// outside modal loops up to the main window, or else the active window.
// Windows above the modal dialog (its owner) never see the dialog's messages.
BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg);

// Deletes the temporary window, device-context and GDI wrappers.
void AFXAPI AfxDeleteTempObjects();
// Releases the calling thread's wrapper maps (at library unload).
void AFXAPI AfxTermThreadMaps();

// Window flags (m_nFlags)
#define WF_MODALLOOP 0x0020U
#define WF_CONTINUEMODAL 0x0040U
#define MLF_NOIDLEMSG 0x0001U
#define MLF_SHOWONIDLE 0x0004U

// ---------------------------------------------------------------------------
// Dialogs and data exchange

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;  // TRUE: controls to members
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;

    // The control's window; fails the exchange when the dialog has none.
    HWND PrepareCtrl(int nIDC);
    // Ends the exchange: UpdateData then returns FALSE.
    [[noreturn]] void Fail();
};

// Binds a wrapper to the dialog's control by subclassing it, once.
void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// `value` is the position of the checked radio button in the group that
// starts at nIDC, counting radio buttons only up to the next control that
// starts a group; -1 when none is checked.
void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void AFXAPI DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog from the template in AfxFindResourceHandle's module,
    // disables the owner and runs a modal loop. A template without a position
    // of its own is centred over the owner after OnInitDialog, unless
    // OnInitDialog moved the window. IDOK, IDCANCEL or the value given to
    // EndDialog; -1 if the template is missing or creation fails.
    virtual INT_PTR DoModal();
    // Modeless creation; FALSE if the template is missing or creation fails.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL Create(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);

    // Runs the data exchange towards the controls; TRUE lets the system set
    // the focus. A failed exchange ends the dialog with -1.
    virtual BOOL OnInitDialog();
    // Dialog keys (IsDialogMessage) for the dialog's own input messages.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // FALSE when the template asks for a position (DS_CENTER,
    // DS_CENTERMOUSE, DS_ABSALIGN).
    BOOL CheckAutoCenter() override;

    void GotoDlgCtrl(CWnd* pWndCtrl);
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;

protected:
    // Exchange from the controls; on success the dialog ends with IDOK.
    virtual void OnOK();
    // Ends the dialog with IDCANCEL.
    virtual void OnCancel();

    LPCWSTR m_lpszTemplateName = nullptr;
    UINT m_nIDHelp = 0;
    DWORD m_dwTemplateStyle = 0;  // style of the template the window was made from
    CWnd* m_pParentWnd = nullptr;

    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    BOOL CreateFromTemplate(HWND hWndOwner);
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Controls

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)

public:
    CStatic() = default;
    // STM_SETIMAGE: the image shown before, which the caller owns, or null.
    HBITMAP SetBitmap(HBITMAP hBitmap);
    HBITMAP GetBitmap() const;
};

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)

public:
    CButton() = default;
    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetState() const;
};

class CComboBox : public CWnd {
    DECLARE_DYNAMIC(CComboBox)

public:
    CComboBox() = default;
    int AddString(LPCWSTR lpszString);
    int InsertString(int nIndex, LPCWSTR lpszString);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetCount() const;
    // CB_ERR (-1) when no item is selected.
    int GetCurSel() const;
    // An index outside the list leaves no item selected (and returns CB_ERR).
    int SetCurSel(int nSelect);
    int GetLBText(int nIndex, LPWSTR lpszText) const;
    void GetLBText(int nIndex, CString& rString) const;
    int GetLBTextLen(int nIndex) const;
    int FindStringExact(int nIndexStart, LPCWSTR lpszFind) const;
    int SelectString(int nStartAfter, LPCWSTR lpszString);
    DWORD_PTR GetItemData(int nIndex) const;
    int SetItemData(int nIndex, DWORD_PTR dwItemData);
};
