// The demo's main window: a row of buttons (New game, Clear, Bigger,
// Smaller, and check boxes for Enabled, Flipped and Coordinates, then About),
// the board control (the QuelderBoard class) hosted by ProgID in an AtlAxWin
// child window, a line saying what the last click or move did, and a status
// bar naming the last event of the control with its values and, beside it,
// the user's arrows and circles (Annotations). A Look menu chooses the
// squares' colours (three flat pairs or the wood), a piece set from a folder,
// and saves or copies the board as a picture. New game plays a game by the
// rules (board_road.hpp): the board is given the legal moves, and shows the
// last move and a check. Pieces may be dragged, clicked and clicked to, or
// typed as moves, and the board played with the keys: it has the focus when
// the window starts and gets it back when the window is activated again.
#pragma once

#include <windows.h>
#include <oleidl.h>

#include <cstddef>
#include <deque>
#include <string>

#include "atl_container.hpp"
#include "board_events.hpp"
#include "board_road.hpp"
#include "com/com_base.hpp"
#include "handles/win_handles.hpp"
#include "quelder_board.hpp"

namespace quelder::demo {

enum class Command { NewGame = 101, Clear, Bigger, Smaller, Enabled, Flipped, Coordinates, About };
// The Look menu's commands.
enum class Look { Wood = 301, Brown, Green, Blue, PieceSet, BuiltInPieces, SavePicture, CopyPicture };
// The other children of the window, by control id.
constexpr int kBoardHostId = 200, kStatusBarId = 201, kMoveLineId = 202;

class DemoWindow final : private BoardEventListener {
public:
    static constexpr const wchar_t* kProgId = L"QuelderLib.QuelderBoard";
    // Board sizes (the control's ChangeBoardSize), in pixels: 75-pixel
    // squares to start with.
    static constexpr int kFirstBoard = 600, kBoardStep = 40, kSmallestBoard = 160, kLargestBoard = 680;

    DemoWindow(HINSTANCE instance, const AtlContainer& atl);
    ~DemoWindow();
    DemoWindow(const DemoWindow&) = delete;
    DemoWindow& operator=(const DemoWindow&) = delete;

    // Creates the window with its children and the control, and shows it.
    // False on failure; Failure() says why.
    bool Create(int show);
    const std::wstring& Failure() const { return failure_; }

    HWND Handle() const { return window_.get(); }
    // Gives the board its keys (the control's TranslateAccelerator) and the
    // buttons keyboard navigation; true when msg was used.
    bool PreTranslate(MSG& msg) const;
    // One message of the window's loop: PreTranslate, or translated and
    // dispatched.
    void Process(MSG& msg) const;

    // What the self-play needs to drive and check the window.
    HWND Button(Command command) const;
    HWND BoardHost() const { return host_.get(); }
    // The control's own window in the host, which takes the focus.
    HWND BoardWindow() const;
    int BoardSize() const { return boardSize_; }
    // Whether the control draws the board from the other side (its Flipped).
    bool Flipped() const;
    IUnknown* Control() const { return control_.Get(); }
    const std::deque<BoardEvent>& Events() const { return events_; }
    void ForgetEvents() { events_.clear(); }
    const MoveRoad& Road() const { return road_; }
    // The status bar's left part, the last event, and its right part, the
    // user's shapes.
    std::wstring StatusText() const;
    std::wstring AnnotationsText() const;
    std::wstring MoveText() const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateChildren();
    bool HostControl();
    void Layout();
    SIZE MinimumClientSize() const;
    void GrowToFit();
    void OnCommand(Command command);
    void OnLook(Look look);
    void ChangeBoardSize(int size);
    // Sets the check boxes from the control's properties.
    void SyncChecks();
    void SetMoveText(const std::wstring& text);
    // The user's shapes as text ("Ge2e4 Rd4"), on the status bar.
    void ShowAnnotations(const std::wstring& annotations);
    // The child to give the focus to when the window is activated: the one
    // that had it last, else the board; null for none that can take it.
    HWND FocusTarget() const;
    void OnBoardEvent(BoardEvent& event) override;
    // Lets go of the control in order: events, pointers, then its window.
    void TearDown();

    HINSTANCE instance_;
    const AtlContainer& atl_;
    handles::UniqueWindow window_;
    handles::UniqueWindow host_;
    HWND status_ = nullptr;    // children, destroyed with the window
    HWND moveLine_ = nullptr;
    HWND focus_ = nullptr;     // the child that had the focus when the window was last deactivated
    com::ComPtr<IUnknown> control_;
    com::ComPtr<IOleInPlaceActiveObject> active_;
    QuelderBoard board_;
    com::ComPtr<BoardEventSink> sink_;
    EventConnection connection_;
    MoveRoad road_;
    std::deque<BoardEvent> events_;
    short released_ = 0;  // the button of a MouseUp that was the last event
    int boardSize_ = kFirstBoard;
    std::wstring failure_;
};

}  // namespace quelder::demo
