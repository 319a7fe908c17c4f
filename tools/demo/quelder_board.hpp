// The hosted control as the demo calls it: through the virtual table of
// _Quelder for its own work, through IDispatch (as a script host would) for
// the self-play's final check.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "board_road.hpp"
#include "com/com_base.hpp"
#include "control/quelder_idl.hpp"

namespace quelder::demo {

using com::ComPtr;

// The text of a failure that a call just reported: its error info's
// description, or the system's text for hr, with the number.
std::wstring LastErrorText(HRESULT hr);

class QuelderBoard final : public BoardCalls {
public:
    QuelderBoard() = default;
    explicit QuelderBoard(ComPtr<_Quelder> control) : control_(std::move(control)) {}

    _Quelder* Get() const { return control_.Get(); }
    explicit operator bool() const { return static_cast<bool>(control_); }
    void Reset() { control_.Reset(); }

    HRESULT Piece(Square square, long& piece) override;
    HRESULT SelectSquare(Square square) override;
    HRESULT UnSelectSquare(Square square) override;
    HRESULT MovePiece(Square from, Square to) override;
    std::wstring ErrorText(HRESULT hr) override { return LastErrorText(hr); }

private:
    ComPtr<_Quelder> control_;
};

// Reads a property with a square argument by name through IDispatch
// (GetIDsOfNames, then Invoke with DISPATCH_PROPERTYGET), as a long.
HRESULT DispatchSquareProperty(IDispatch* control, const wchar_t* name, Square square, long& value);

}  // namespace quelder::demo
