// What the board class has beyond the published one, in one object: what it
// draws beyond the pieces (its look: the side it is seen from, coordinates,
// marks, arrows) with its squares drawn at their size, the BeginUpdate calls
// not yet ended, DragPieces, the board the window's interaction reads, and
// the board as accessibility clients read it with what they were last told.
//
// The control owns one for the board class and none for the published class,
// and asks it where the two classes differ. The window keeps the interaction
// itself (the lift, the focus square, the keys); this object shows it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "appearance/board_look.hpp"
#include "appearance/saved_properties.hpp"
#include "board/board_model.hpp"
#include "com/com_ptr.hpp"
#include "control/board_accessible.hpp"
#include "control/control_window.hpp"
#include "interaction/animation.hpp"
#include "interaction/board_interaction.hpp"
#include "position/move_text.hpp"
#include "render/sharp_squares.hpp"

namespace quelder::win32 {

// What the extras ask of the control that owns them. Pinnable: the
// accessible object pins the control for each of its calls.
class ExtrasOwner : public com::Pinnable {
public:
    virtual bool EventsFrozen() const = 0;
    // A square's view was drawn anew: the window and the container hear of it.
    virtual void ViewDrawn(PixelSquareView& view) = 0;
    // The accessible object's default action: a click on a square, as Space
    // or Enter makes it.
    virtual void ClickSquare(std::int16_t index) = 0;

protected:
    ~ExtrasOwner() = default;
};

class BoardExtras final : private AccessibleSquares {
public:
    // host, board, window and owner must outlive this object.
    BoardExtras(PixelHostBase& host, const Board& board, ControlWindow& window, ExtrasOwner& owner);
    // The accessible object handed out is cut off.
    ~BoardExtras() override;
    BoardExtras(const BoardExtras&) = delete;
    BoardExtras& operator=(const BoardExtras&) = delete;

    // The members of _QuelderBoard that are not the board's own. The squares
    // are checked by the caller.
    bool Flipped() const { return look_.flipped; }
    void SetFlipped(bool flipped);
    bool Coordinates() const { return look_.coordinates; }
    void SetCoordinates(bool shown) { look_.coordinates = shown; }
    void Mark(std::int16_t col, std::int16_t row, Pixel colour) { quelder::MarkSquare(look_, col, row, colour); }
    void UnMark(std::int16_t col, std::int16_t row) { quelder::UnMarkSquare(look_, col, row); }
    void ClearMarks() { quelder::ClearMarks(look_); }
    void Arrow(Square from, Square to, Pixel colour) { quelder::DrawArrow(look_, from, to, colour); }
    void ClearArrows() { quelder::ClearArrows(look_); }
    bool DragPieces() const { return dragPieces_; }
    // Off, a piece lifted now goes back.
    void SetDragPieces(bool on);
    // Nested holds on the window's change batches; EndUpdate without
    // BeginUpdate fails with 5.
    void BeginUpdate();
    void EndUpdate();
    // ChangeBoardSize laid out every view afresh, each at its own square.
    void LaidOut();
    // How long a change of position animates, 0 to 2,000 milliseconds
    // (else 380).
    std::int32_t AnimationTime() const { return animationTime_; }
    void SetAnimationTime(std::int32_t milliseconds);
    // The moves the user may make, as text; empty: any move. Bad text fails
    // with 380 naming its first bad word.
    std::string LegalMoves() const { return FormatMoveList(legal_); }
    void SetLegalMoves(std::string_view text) { legal_ = ParseMoveList(text); }
    // The form chosen for the drop being raised; None otherwise.
    std::int32_t PromotionPiece() const { return promotionPiece_; }
    std::int32_t ExchangePromotionPiece(std::int32_t code) { return std::exchange(promotionPiece_, code); }
    // The user's shapes: whether the right button draws them, and as text
    // ("Ge2e4 Rd4": a brush letter G, R, B or Y and one or two squares).
    bool UserAnnotations() const { return userAnnotations_; }
    void SetUserAnnotations(bool on) { userAnnotations_ = on; }
    std::string Annotations() const;
    void SetAnnotations(std::string_view text);
    bool HasShapes() const { return !look_.shapes.empty(); }
    // The same shape again removes it; the same squares in another brush
    // take that brush. brush: 0 to 3, green, red, blue, yellow.
    void ToggleShape(std::int16_t from, std::int16_t to, int brush);
    void ClearShapes() { look_.shapes.clear(); }
    // The last move ("e2e4") and the square in check ("e1"), empty for none;
    // bad text fails with 380.
    std::string LastMove() const;
    void SetLastMove(std::string_view text);
    std::string CheckSquare() const;
    void SetCheckSquare(std::string_view text);
    bool TypeMoves() const { return typeMoves_; }
    void SetTypeMoves(bool on) { typeMoves_ = on; }
    // The squares' colours as OLE colours, as the host set them, and as
    // drawn: setting either draws flat squares in both (the other at its
    // default), UseWood goes back to the wood and to the default colours.
    static constexpr std::int32_t kDefaultLightColour = kDefaultLightSquareColour;
    static constexpr std::int32_t kDefaultDarkColour = kDefaultDarkSquareColour;
    std::int32_t LightColour() const { return lightColour_; }
    std::int32_t DarkColour() const { return darkColour_; }
    void SetLightColour(std::int32_t colour, Pixel drawn);
    void SetDarkColour(std::int32_t colour, Pixel drawn);
    void UseWood();
    // The pieces drawn in place of the built-in ones; none: the built-in ones.
    void UsePieces(std::shared_ptr<const PieceSet> pieces);
    bool Wood() const { return !look_.flat; }
    // Reads whether Windows' high contrast is on, and the system's colours:
    // while it is, the squares are drawn in them whatever the colours set.
    void FollowSystemColours();

    // The board the window's interaction reads.
    bool DropsAllowed() const;
    bool Liftable(interaction::SquareId square) const;
    interaction::SquareId Step(interaction::SquareId square, interaction::Key key) const;
    bool Restricted() const { return !legal_.empty(); }
    std::uint64_t Destinations(interaction::SquareId square) const;
    std::vector<interaction::Promotion> Promotions(interaction::SquareId from, interaction::SquareId to) const;
    // The piece of a square as it is lifted: drawn at its view's size.
    BoardPicture PieceArt(std::int16_t index);

    // The animation of position changes: the next change comes from a drop
    // of from to to (it does not slide); a piece put back goes home from
    // where its floating picture's top-left corner was; a frame is due; the
    // pieces still on their way, drawn on their squares, for a picture of
    // the board as it stands (IViewObject::Draw never draws a frame).
    void NoteDrop(std::int16_t from, std::int16_t to) { drop_ = {from, to}; }
    void SlideHome(std::int16_t square, POINT topLeft);
    void Frame();
    // Every piece on its way is home at once (the user takes a piece up).
    void Finish();
    std::vector<Sprite> FinalPieces();

    // The board as a picture of size x size pixels (64 to 4,096, else 380),
    // drawn at that size: what the board shows but the interaction's marks
    // (the focus frame, the lifted piece and its destinations, the chooser)
    // and any frame of an animation. 7 when the memory cannot be had.
    Image Picture(int size);
    // The board's size in pixels: eight of its squares.
    int Size() const;

    // The published code drew on a square's view: it is drawn again.
    void Touched(std::int16_t index) { squares_.Touched(index); }
    // Draws every square whose look changed, the interaction's as the window
    // shows it included, and tells accessibility clients what changed since
    // they last heard. Nothing escapes.
    void Settle() noexcept;
    // The focus square moved or showed: accessibility clients hear of it.
    void FocusMoved();
    // WM_GETOBJECT: the accessible object for the client area.
    LRESULT GetObject(WPARAM wParam, LPARAM lParam);

private:
    // AccessibleSquares: the board as the accessible object reads it.
    HWND AccessibleWindow() const override { return window_.Handle(); }
    std::wstring CellName(std::int16_t child) const override;
    bool CellSelected(std::int16_t child) const override;
    bool CellMarked(std::int16_t child) const override;
    bool CellDestination(std::int16_t child) const override;
    std::vector<ChooserEntry> Chooser() const override;
    std::int16_t FocusedCell() const override;
    RECT CellRect(std::int16_t child) const override;
    void ClickCell(std::int16_t child) override { owner_.ClickSquare(child); }
    bool TryPin() noexcept override { return owner_.TryPin(); }
    void Unpin() noexcept override { owner_.Unpin(); }
    void AnnounceChanges() noexcept;
    // How long a change animates now: nothing without a window that shows,
    // or when the system turns the animation of controls off.
    std::uint32_t Duration() const;
    // A new position starts its animation; the squares hide what is on its
    // way and the window draws it moving, with frames while anything moves.
    void Animate();
    void ShowMoving();
    // The text typed so far, in a box at the board's bottom-left corner.
    void ShowTyped(const std::string& typed);
    // Places of the animation (square units of the unflipped board) on the
    // surface, in pixels.
    RECT PixelsOf(const interaction::Box& box) const;
    POINT PixelsOf(const interaction::Spot& spot) const;
    interaction::Spot UnitsOf(POINT point) const;
    void Invalidate(const std::vector<interaction::Box>& boxes);
    interaction::Pieces Pieces() const;

    PixelHostBase& host_;
    const Board& board_;
    ControlWindow& window_;
    ExtrasOwner& owner_;
    BoardLook look_;
    SharpSquares squares_;
    int updates_ = 0;
    bool dragPieces_ = BoardClassSettings{}.dragPieces;
    std::int32_t animationTime_ = BoardClassSettings{}.animationTime;
    std::vector<CoordinateMove> legal_;
    std::int32_t promotionPiece_ = None;
    bool userAnnotations_ = BoardClassSettings{}.userAnnotations;
    bool typeMoves_ = BoardClassSettings{}.typeMoves;
    std::int32_t lightColour_ = kDefaultLightColour;
    std::int32_t darkColour_ = kDefaultDarkColour;
    interaction::Pieces shown_{};  // the position the animation last took
    interaction::Animation animation_{shown_};
    interaction::Drop drop_{};
    std::string typedShown_;  // the typed text the window shows
    com::ComPtr<BoardAccessible> accessible_;
    // What accessibility clients were last told of each square.
    struct Announced {
        std::int32_t code = 0;
        bool selected = false;
        bool marked = false;
        bool destination = false;
        friend bool operator==(const Announced&, const Announced&) = default;
    };
    std::array<Announced, 65> announced_{};
    // The chooser as they were last told of it: its items, the one focused.
    std::size_t toldItems_ = 0;
    int toldItem_ = 0;
};

}  // namespace quelder::win32
