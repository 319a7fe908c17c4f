#include "appearance/persistence.hpp"

#include "appearance/property_conversion.hpp"

namespace quelder {

// The four saved keys, loaded and saved in this order. Loading touches neither
// the squares nor the image list, and sends no PropertyChanged.

void UserControl_InitProperties(Board& board) {
    board.m_Piece = 0;
    board.m_Picture = board.host.LoadPicture();
}

// Each step keeps its effect when a later one fails: "Enabled" is applied
// before "Piece" is read.
void UserControl_ReadProperties(Board& board, PropertyBag& PropBag) {
    board.host.SetEnabled(ToBoolean(PropBag.ReadProperty("Enabled", true)));
    board.m_Piece = ToInt16(PropBag.ReadProperty("Piece", std::int16_t{0}));
    board.m_IsSelected = ToBoolean(PropBag.ReadProperty("IsSelected", false)) ? kTrue : kFalse;
    board.m_Picture = ToPicture(PropBag.ReadProperty("Picture", PictureRef{}));
}

void UserControl_WriteProperties(Board& board, PropertyBag& PropBag) {
    PropBag.WriteProperty("Enabled", board.host.Enabled(), true);
    PropBag.WriteProperty("Piece", board.m_Piece, std::int16_t{0});
    PropBag.WriteProperty("IsSelected", board.m_IsSelected != kFalse, false);
    PropBag.WriteProperty("Picture", board.m_Picture, PictureRef{});
}

}  // namespace quelder
