// Off-screen buffers: painting is composed in a memory bitmap and copied to the
// target in one transfer when the buffer closes.
#pragma once
#include "fw_gdi.h"

// Buffer over a rectangle of the target (or its clip box), in the target's
// logical coordinates. Starts as a copy of the target or filled with its
// background colour. Draws straight to the target when that is a printer.
class QxMemDC : public CDC {
public:
    QxMemDC(HDC target, const RECT* rect = nullptr, bool copyFirst = false);
    ~QxMemDC() override;
    const RECT& Rect() const { return m_rect; }

private:
    BufferLease m_buffer;
    HDC m_target;
    RECT m_rect{};
    bool m_memDC = false;
};

// Buffer of a rectangle's size compatible with the target; closing copies it
// to the target at the rectangle.
class CMemoryDC : public CDC {
public:
    CMemoryDC(HDC target, const RECT& rect);
    ~CMemoryDC() override;

private:
    BufferLease m_buffer;
    HDC m_target;
    RECT m_rect{};
};
