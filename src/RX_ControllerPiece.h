#ifndef RX_ControllerPieceH
#define RX_ControllerPieceH

#include <cstdint>

namespace RX {

/*! The linear pieces of a controller's load over the room air temperature. The integrator's
	Jacobian holds for one piece only, so a change of piece asks for a fresh one. */
enum ControllerPiece : std::uint8_t {
	PIECE_OFF,
	PIECE_PROPORTIONAL,
	PIECE_LIMITED
};

} // namespace RX

#endif // RX_ControllerPieceH
