// The hosted control as the demo calls it: through the virtual table of
// _QuelderBoard for its own work, through IDispatch (as a script host would)
// for the self-play's checks.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
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
    explicit QuelderBoard(ComPtr<_QuelderBoard> control) : control_(std::move(control)) {}

    _QuelderBoard* Get() const { return control_.Get(); }
    explicit operator bool() const { return static_cast<bool>(control_); }
    void Reset() { control_.Reset(); }

    HRESULT Piece(Square square, long& piece) override;
    HRESULT PutPiece(Square square, long piece) override;
    HRESULT SelectSquare(Square square) override;
    HRESULT UnSelectSquare(Square square) override;
    HRESULT MovePiece(Square from, Square to) override;
    HRESULT PutText(BoardText which, const std::wstring& text) override;
    HRESULT PromotionPiece(long& piece) override;
    std::wstring ErrorText(HRESULT hr) override { return LastErrorText(hr); }
    // The user's arrows and circles as text ("Ge2e4 Rd4").
    HRESULT Annotations(std::wstring& text);

private:
    ComPtr<_QuelderBoard> control_;
};

// Holds back the board's painting while it lives (BeginUpdate, then
// EndUpdate when it goes): what changes meanwhile is painted once, at the end.
class BoardUpdate {
public:
    explicit BoardUpdate(const QuelderBoard& board)
        : control_(board.Get()), held_(control_ != nullptr && SUCCEEDED(control_->BeginUpdate())) {}
    ~BoardUpdate() {
        if (held_) control_->EndUpdate();
    }
    BoardUpdate(const BoardUpdate&) = delete;
    BoardUpdate& operator=(const BoardUpdate&) = delete;

private:
    _QuelderBoard* control_;
    bool held_;
};

// Reads a property by name through IDispatch (GetIDsOfNames, then Invoke
// with DISPATCH_PROPERTYGET), as a long; with a square, that square's.
HRESULT DispatchProperty(IDispatch* control, const wchar_t* name, long& value,
                         std::optional<Square> square = std::nullopt);
// The same for a property that is text.
HRESULT DispatchProperty(IDispatch* control, const wchar_t* name, std::wstring& value);

}  // namespace quelder::demo
