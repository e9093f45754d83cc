#ifndef KADRIX_ModelInterfaceADIH
#define KADRIX_ModelInterfaceADIH

#include "KADRIX_ModelInterface.h"

namespace KADRIX {

/*! A model for the ADI linear equation solver: its n unknowns form N blocks of M unknowns (block
	b's unknown k at b*M + k), and the blocks are ordered along two directions, in each of which
	a block couples only with its neighbours.

	The solver switches the model's couplings with setADIDirection() before it evaluates ydot():
	DirectionX keeps only the couplings along direction 1, DirectionY only those along direction 2,
	AllDirections restores the full model. Terms that belong to no direction (couplings inside a
	block, sources) must be kept in exactly one of the two directions.
*/
class ModelInterfaceADI : public ModelInterface {
public:
	/*! Arguments of setADIDirection(). */
	enum Direction {
		DirectionX		= 0,
		DirectionY		= 1,
		AllDirections	= 3
	};

	/*! Restricts the following evaluations to the couplings of one direction, or restores them all. */
	virtual void setADIDirection(int direction) = 0;
	/*! The direction last set. */
	virtual int currentADIDirection() const = 0;
	/*! N block numbers (each < N): entry p is the block at position p along direction 1. Owned by
		the model, valid until the next call. */
	virtual const unsigned int * blockIndicesX() const = 0;
	/*! As blockIndicesX(), along direction 2. */
	virtual const unsigned int * blockIndicesY() const = 0;
};

} // namespace KADRIX

#endif // KADRIX_ModelInterfaceADIH
