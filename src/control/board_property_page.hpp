// The board class's property page, which form designers show under
// "(Custom)" or "Properties...": the squares (wood, or flat in two colours
// chosen with the system's colour dialog), ShowCoordinates, Flipped,
// DragPieces, UserAnnotations, TypeMoves and AnimationTime of the boards the
// frame gives it.
//
// The page reads the first board's values when its window is made, and
// writes what the user changed to every board through _QuelderBoard's
// IDispatch, as a script assigns it: a value the member refuses (an
// animation time of 5000, or letters) fails Apply with the member's own
// error, and the page stays dirty. Its window is the dialog IDD_BOARD_PAGE
// of Quelder.rc, a child of the frame's.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <array>
#include <string>
#include <vector>

#include "com/com_base.hpp"
#include "control/board_extras.hpp"
#include "control/quelder_idl.hpp"
#include "handles/win_handles.hpp"

namespace quelder::win32 {

class BoardPropertyPage final : public com::Object<IPropertyPage> {
public:
    // The class factory's creation function.
    static HRESULT Create(REFIID riid, void** ppv) noexcept;

    BoardPropertyPage() = default;
    // A window still there goes with the page.
    ~BoardPropertyPage() override;

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR helpDirectory) override;
    STDMETHODIMP TranslateAccelerator(MSG* message) override;

    // The check boxes, each a Boolean property of the board.
    static constexpr std::size_t kToggleCount = 5;

private:
    // What the page shows and writes back. changed: what the user changed
    // since the values were read or written.
    struct Values {
        std::wstring animationTime;
        std::array<bool, kToggleCount> toggles{};
        bool wood = true;
        LONG light = BoardExtras::kDefaultLightColour;  // OLE colours
        LONG dark = BoardExtras::kDefaultDarkColour;
    };
    enum Change : unsigned {
        kAnimationChanged = 1u << 0,
        kWoodChanged = 1u << 1,
        kLightChanged = 1u << 2,
        kDarkChanged = 1u << 3,
        kFirstToggleChanged = 1u << 4,
    };

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int control, int notification);
    // A board's values, read through its properties.
    static Values ReadFrom(IDispatch& board);
    // The values into the controls, telling nobody.
    void ShowValues();
    void DrawSwatch(const DRAWITEMSTRUCT& item) const;
    // The system's colour dialog for one of the two colours.
    void ChooseColour(bool light);
    // A change by the user: the page is dirty, and the frame hears of it.
    void Changed(unsigned what);
    // The changed values written to one board; the member's failure, with
    // its error info, or S_OK.
    static HRESULT WriteTo(IDispatch& board, const Values& values, unsigned changed);
    // Destroys the window (from its own thread; from another it is asked to
    // go, and no longer reaches this page).
    void DestroyWindowNow() noexcept;

    com::ComPtr<IPropertyPageSite> site_;
    std::vector<com::ComPtr<_QuelderBoard>> boards_;
    handles::UniqueWindow window_;
    Values values_;
    unsigned changed_ = 0;
    unsigned long changes_ = 0;  // the user's changes so far, counted
    bool read_ = false;     // values_ holds the first board's values
    bool showing_ = false;  // the controls are being set: their notifications are not the user's
    std::array<COLORREF, 16> customColours_{};
};

}  // namespace quelder::win32
