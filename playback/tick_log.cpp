#include "tick_log.h"

#include <cwchar>

CTickLog::CTickLog() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"TESSARO_TICK_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    m_file = _wfopen(path, L"a");
    LARGE_INTEGER f;
    if (::QueryPerformanceFrequency(&f) && f.QuadPart > 0) m_frequency = f.QuadPart;
}

CTickLog::~CTickLog() {
    if (m_file) fclose(m_file);
}

void CTickLog::BeginTick() {
    if (!m_file) return;
    m_map = m_sensors = 0;
    m_start = Now();
}

void CTickLog::EndTick(int64_t paintCounts, int paints) {
    if (!m_file) return;
    const int64_t total = Now() - m_start;
    fprintf(m_file, "tick %.1f %.1f %.1f %.1f %d\n", Us(total), Us(m_map), Us(m_sensors), Us(paintCounts), paints);
    fflush(m_file);
}
