#include <afxwin.h>

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

BOOL CWinThread::InitInstance() {
    return FALSE;
}

int CWinThread::ExitInstance() {
    return 0;
}

CWinApp::CWinApp(LPCWSTR lpszAppName) {
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.GetString();
    }
    AFX_MODULE_STATE* state = AfxGetStaticModuleState();
    state->m_pCurrentWinApp = this;
    state->m_lpszCurrentAppName = m_pszAppName;
    m_hInstance = state->m_hCurrentInstanceHandle;
}

CWinApp::~CWinApp() {
    AFX_MODULE_STATE* state = AfxGetStaticModuleState();
    if (state->m_pCurrentWinApp == this) {
        state->m_pCurrentWinApp = nullptr;
        state->m_lpszCurrentAppName = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}
