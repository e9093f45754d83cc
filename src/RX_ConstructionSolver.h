#ifndef RX_ConstructionSolverH
#define RX_ConstructionSolverH

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace ZEB {
class OutputFolder;
}

namespace RX {

class Material;
class RoomConstruction;

/*! One finite-volume cell of a construction. */
struct Element {
	/*! Running number of the cell within the construction, from 0. */
	unsigned int		m_index = 0;
	/*! Cell width [m]. */
	double				m_dx = 0;
	/*! Cell centre [m], measured from the outer face. */
	double				m_x = 0;
	/*! Material of the layer holding the cell; not owned (it lives in the database's map). */
	const Material *	m_material = nullptr;
};


/*! The one-dimensional finite-volume model of one room construction (wall, roof or floor).

	x runs from the outer face (first layer, cell 0) to the room-side face (last cell); the outer
	face is the one away from the room. Every cell carries its energy density u [J/m3] and, with
	the moisture balance, its moisture content w [kg/m3] as states; the solver keeps no state
	vector of its own but reads and writes its slice of the room model's vectors: one state per
	cell, or u and w interleaved (2i, 2i+1).

	Per evaluation the room model calls decompose() and then computeDivergences(); both work on
	buffers and coefficients that init() sized and computed, so they allocate nothing and look
	nothing up. The solver refers to its room construction (whose zone temperature the room model
	updates during a run) and to the materials of the map given to init(); neither is owned, and
	both must outlive the solver. Copyable.
*/
class ConstructionSolver {
public:
	/*! Stores the flag and the construction, meshes the layers and checks the materials. Throws
		ZEB::Exception for a construction without construction type or layers, a layer width
		<= 0, an unknown material ("Error during mesh generation." on top of the cause), a
		conductivity or volumetric heat capacity <= 0, a negative latent heat and, with the
		moisture balance, a material without (inverse) sorption isotherm or with a diffusion
		resistance factor <= 0. */
	void init(bool moistureBalance, const RoomConstruction & rc, const std::map<unsigned int, Material> & materials);
	/*! Builds the cells of all layers afresh (two-sided grids, first cells at most 2.2 mm when
		101 cells allow it) and sizes every buffer; warns about layers thicker than 1 m or
		thinner than 1 mm. Throws ZEB::Exception as init() for the geometry and unknown materials. */
	void mesh(const std::map<unsigned int, Material> & materials);

	/*! Writes the states of uniform temperature T [K] and relative humidity RH [0..1] to y (the
		construction's first state) and sets every cell temperature to T. */
	void computeIC(double T, double RH, double * y);
	/*! Cell temperatures (and, with the moisture balance, relative humidities from the inverse
		sorption isotherm, unclamped, and vapour pressures) from the states at y. With reuse, the
		cells stay as they are when y holds, bit for bit, the states of the last such call and no
		other call has changed them since: between the columns of a host's difference-quotient
		Jacobian one state of the whole room moves, and the other walls keep their cells. */
	void decompose(const double * y, bool reuse = false);
	/*! True where the room-side cell has a phase change: model exchange holds it on a piece of its
		temperature over its energy density (below, within or above the phase change) between a
		host's events. */
	bool watchesPhase() const { return !m_cells.empty() && m_cells.back().m_latent != 0; }
	/*! Holds the room-side cell with a phase change on the piece where its state at y lies, at
		once where none is held, else once the cell and the point where it would rest both lie
		past an end of the piece held so far, or where joining (another event) once that point
		lies past the end and the state within the pieces' reach of it; ydot holds the states'
		derivatives at y, and the cells are those of y. Returns true where the piece changed. */
	bool holdPhase(const double * y, const double * ydot, bool joining = false);
	/*! The held room-side cell's switching function from the derivatives ydot of the states
		whose cells decompose() gave: above zero once the cell and its point of rest lie past an
		end of its piece [K]; -1 while none is held. */
	double phaseSwitchingFunction(const double * ydot) const;

	/*! Pieces of a cell's temperature over its energy density, and none held. */
	static constexpr std::uint8_t PHASE_BELOW = 0;
	static constexpr std::uint8_t PHASE_WITHIN = 1;
	static constexpr std::uint8_t PHASE_ABOVE = 2;
	static constexpr std::uint8_t PHASE_FREE = 3;

	/*! All face fluxes and the derivatives of the construction's states, written to ydot in the
		layout of the states. Uses the cell values of the last decompose().
		\param qConvInside convective heat flux from the room air into the room-side surface [W/m2]
		\param qRadInside radiant heat flux onto the room-side surface [W/m2]
		\param jVaporInside vapour flux from the room air into the room-side surface [kg/m2s]
		\param qEnthalpyInside enthalpy flux of that vapour [W/m2]; not used by the wall
		\param qShortWaveOutside absorbed short-wave radiation on the outer surface [W/m2] (Outside only)
		\param TOutside outdoor air temperature [K] (Outside)
		\param TRoom room air temperature [K] (Inside)
		\param pvOutside outdoor vapour pressure [Pa] (Outside, moisture balance)
		\param pvRoom room air vapour pressure [Pa] (Inside, moisture balance)
		\param reuse when the arguments and the zone's climate are, bit for bit, those of the last
		call with reuse and neither the cells nor the fluxes have changed since, that call's
		derivatives are written to ydot: the same values, without their work
		Throws ZEB::Exception "Invalid Construction Type!" for a construction of unknown type. */
	void computeDivergences(double qConvInside, double qRadInside, double jVaporInside, double qEnthalpyInside,
							double qShortWaveOutside, double TOutside, double TRoom, double pvOutside,
							double pvRoom, double * ydot, bool reuse = false);

	/*! Outer surface temperature [K], extrapolated linearly from the two outermost cells. */
	double outsideSurfaceTemperature() const {
		return m_T[0] - (m_T[1] - m_T[0])*m_outerExtrapolationWeight;
	}
	/*! Room-side surface temperature [K], extrapolated linearly from the two innermost cells. */
	double roomSurfaceTemperature() const {
		return m_T[m_n - 1] - (m_T[m_n - 2] - m_T[m_n - 1])*m_innerExtrapolationWeight;
	}
	/*! Vapour pressure of the first cell [Pa]. */
	double outsideSurfaceVaporPressure() const { return m_pv[0]; }
	/*! Vapour pressure of the last cell [Pa]. */
	double roomSurfaceVaporPressure() const { return m_pv[m_n - 1]; }
	/*! Relative humidity of the last cell [0..1]. */
	double roomSurfaceRelativeHumidity() const { return m_RH[m_n - 1]; }

	/*! One line: every cell temperature in C, right-aligned in 12 characters and followed by a
		tab; then a line end, and the stream is flushed. */
	void appendTemperatureProfile(std::ostream & out) const;

	/*! Writes the wall as the Modelica model "Wall<nr>" of the package packageName, the file
		"Wall<nr>.mo" of the package's files: the cells' materials and widths, the surface
		coefficients, the net area and the first cell's current temperature as initial
		temperature of every cell. Throws ZEB::Exception, before writing, for a solver with fewer
		than 2 cells or without its construction, and when the file cannot be written. */
	void export2Modelica(int nr, ZEB::OutputFolder & package, const std::string & packageName) const;

	/*! True when every cell carries a moisture state too. */
	bool							m_moistureBalance = false;
	/*! Number of cells. */
	unsigned int					m_n = 0;
	/*! Total thickness [m]. */
	double							m_thickness = 0;
	/*! The construction's parameters; not owned. */
	const RoomConstruction *		m_rc = nullptr;
	/*! The cells, from the outer face to the room side. */
	std::vector<Element>			m_elements;
	/*! Cell temperatures [K]. */
	std::vector<double>				m_T;
	/*! Cell relative humidities [0..1] (moisture balance only). */
	std::vector<double>				m_RH;
	/*! Cell vapour pressures [Pa] (moisture balance only). */
	std::vector<double>				m_pv;
	/*! Heat flux densities at the n+1 faces [W/m2], positive towards the room. */
	std::vector<double>				m_q;
	/*! Vapour flux densities at the n+1 faces [kg/m2s], positive towards the room. */
	std::vector<double>				m_j;

	// Surface fluxes of the latest computeDivergences(), for the outputs.
	/*! From the outer boundary into the outer surface by surface heat transfer [W/m2]. */
	double							m_outerHeatFlux = 0;
	/*! From the room air into the room-side surface, as passed in [W/m2]. */
	double							m_innerConvectiveFlux = 0;
	/*! Absorbed short-wave radiation at the outer surface [W/m2]; 0 unless Outside. */
	double							m_outerShortWaveFlux = 0;
	/*! Onto the room-side surface, as passed in [W/m2]. */
	double							m_innerRadiantFlux = 0;
	/*! From the outer boundary into the outer surface [kg/m2s] (moisture balance only). */
	double							m_outerVaporFlux = 0;
	/*! At the room-side face towards the room, the negated flow from the room into the wall
		[kg/m2s] (moisture balance only). */
	double							m_innerVaporFlux = 0;

	/*! The piece on which model exchange holds the room-side cell between events (holdPhase()),
		PHASE_FREE where it follows its energy density. */
	std::uint8_t					m_heldPhase = PHASE_FREE;

	/*! dx0/(dx0 + dx1). */
	double							m_outerExtrapolationWeight = 0;
	/*! dx(n-1)/(dx(n-2) + dx(n-1)). */
	double							m_innerExtrapolationWeight = 0;

private:
	/*! What decompose() needs of a cell, taken from its material once. */
	struct CellCoefficients {
		/*! rho*cT [J/m3K] and its inverse. */
		double	m_rhoC = 0;
		double	m_invRhoC = 0;
		/*! rho*HPCM [J/m3]; 0 without phase change. */
		double	m_latent = 0;
		/*! Start of the phase change [K] and the energy densities at its start and end [J/m3]. */
		double	m_TLow = 0;
		double	m_uLow = 0;
		double	m_uHigh = 0;
		/*! 1/(rho*HPCM/3 + rho*cT) [m3K/J]: temperature per energy inside the phase change. */
		double	m_invPCMCapacity = 0;
		/*! Index of the cell's moisture storage function in m_storage (moisture balance only). */
		unsigned int	m_storage = 0;
	};

	/*! A material's moisture storage function as the cells evaluate it. The material's isotherm is
		piecewise linear, and where its slope changes a cell's storage per relative humidity jumps
		(989-fold at 92 % for a light insulation of w80 0.1 and wsat 10 kg/m3). A cell whose vapour
		exchange comes to balance at such a kink holds an integrator there in steps of a second: the
		Jacobian it keeps for many steps holds the storage of one side while the cell's w lies on the
		other, and the cell chatters across. So about each interior point where the slope changes,
		for w within 3 % of the point's w, the relative humidity follows the parabola in w that meets
		both lines with their slopes (monotone and continuously differentiable); elsewhere the
		material's splines are evaluated themselves. The inverse, w from the relative humidity,
		solves that parabola, so that both agree to rounding. */
	struct MoistureStorage {
		/*! The parabola RH = m_RHLow + z*(m_slope + m_curvature*z) with z = w - m_wLow, for
			m_wLow < w < m_wHigh (m_RHLow < RH < m_RHHigh). */
		struct Bend {
			double	m_wLow = 0;
			double	m_wHigh = 0;
			double	m_RHLow = 0;
			double	m_RHHigh = 0;
			/*! dRH/dw of the line below the point [m3/kg]. */
			double	m_slope = 0;
			/*! Half the change of dRH/dw per w [m6/kg2]. */
			double	m_curvature = 0;
		};

		/*! The material's isotherm with its kinks rounded; the material must outlive it. */
		explicit MoistureStorage(const Material & material);

		/*! Relative humidity [0..1] at water content w [kg/m3]. */
		double relativeHumidity(double w) const;
		/*! Water content [kg/m3] at relative humidity RH [0..1]. */
		double moistureContent(double RH) const;

		const Material *	m_material = nullptr;
		std::vector<Bend>	m_bends;
	};

	/*! Computes the per-cell and per-face coefficients of the current cells. */
	void precompute();
	/*! The derivatives of computeDivergences() with these arguments and these cells. */
	void divergences(double qConvInside, double qRadInside, double jVaporInside, double qShortWaveOutside,
					 double TOutside, double TRoom, double pvOutside, double pvRoom, double * ydot);
	/*! How far the held room-side cell and where it would rest lie past an end of its piece, the
		nearer of both, or where joining the point of rest past the end itself [K]; uDot is its
		state's derivative. */
	double pastHeldPhaseEnd(double uDot, bool joining) const;
	/*! Where the room-side cell would rest with its neighbour and the room as they are [K]; uDot
		is its state's derivative. */
	double restingTemperature(double uDot) const;

	/*! What the reusing calls compare: the arguments of computeDivergences() with reuse (qEnthalpyInside
		too) and the zone's temperature and relative humidity. */
	static constexpr unsigned int REUSE_KEYS = 11;
	/*! The states of the last decompose() with reuse, valid while the cells are theirs. */
	std::vector<double>				m_reusedStates;
	bool							m_reusedStatesValid = false;
	/*! Arguments and derivatives of the last computeDivergences() with reuse, valid while the cells
		and fluxes are theirs. */
	double							m_reusedKeys[REUSE_KEYS] = {};
	std::vector<double>				m_reusedDivergences;
	bool							m_reusedDivergencesValid = false;

	std::vector<CellCoefficients>	m_cells;
	/*! [W/m2K] What holds the room-side cell at its point of rest: the face to its neighbour and
		the surface's resistance. */
	double							m_roomSideCellConductance = 0;
	/*! One moisture storage function per material of the cells (moisture balance only). */
	std::vector<MoistureStorage>	m_storage;
	/*! 1/dx per cell [1/m]. */
	std::vector<double>				m_invDx;
	/*! Conductance between neighbouring cell centres, per inner face [W/m2K]. */
	std::vector<double>				m_faceConductance;
	/*! Vapour permeance between neighbouring cell centres, per inner face [s/m]. */
	std::vector<double>				m_facePermeance;
};

} // namespace RX

#endif // RX_ConstructionSolverH
