#ifndef ExampleRoomH
#define ExampleRoomH

#include <functional>

#include "RX_Database.h"
#include "RX_Room.h"

// The example room of the README and the examples folder, built once for the example generator
// and for the tests and benchmarks that simulate it.
namespace ExampleRoom {

/*! The lightweight box: floor 8 m x 6 m, height 2.7 m; walls 0.009 m wood siding, 0.066 m glass
	fibre and 0.012 m plasterboard facing north, east, south and west; roof 0.019 / 0.1118 /
	0.010 m; floor 0.025 m timber facing down without solar absorption, on 1.003 m of massless
	insulation taken as its outside surface resistance; two 3 m x 2 m panes of clear double
	glazing in the south wall (construction 2). Replaces room's geometry and constructions with
	their structural shadings; the materials (each passed through adjustMaterial, when given,
	before it is added), construction types and window type go into db with ids from 10001. */
void addBox(RX::Room & room, RX::Database & db,
			const std::function<void(RX::Material &)> & adjustMaterial = {});

} // namespace ExampleRoom

#endif // ExampleRoomH
