#ifndef RX_CalovindaModelH
#define RX_CalovindaModelH

#include <cstdint>
#include <utility>
#include <vector>

#include <QString>

#include "RX_Climate.h"
#include "RX_ConstructionSolver.h"
#include "RX_ControllerBand.h"
#include "RX_Room.h"
#include "RX_RoomConstruction.h"

namespace RX {

class Database;

/*! The room model: the right-hand side of the ordinary differential equations of one room.

	The unknowns are the states of every cell of every kept construction (energy density, and with
	the moisture balance moisture content, interleaved), construction by construction in the
	room's order, followed by the room air element: its energy [J] counted from 0 K, and with the
	moisture balance its vapour mass [kg]. n = m * (cells + 1) with m = 1 or 2.

	Life: readProject(), initClimate(), init(), then any number of evaluations, each the chain
	updateClimate() (after a change of m_t and m_hourOfYear), updateStates() (after a change of
	m_y), updateLoads(), updateDerivatives(). The chain allocates nothing: init() sizes every
	buffer. All intermediate values are public members, for the outputs and the FMU variables.

	The model owns its room, climate, wall solvers and vectors by value. The wall solvers point
	into m_constructions, the constructions into the database given to init(), which must outlive
	the model's evaluations; hence the model cannot be copied.
*/
class CalovindaModel {
public:
	/*! Where each sub-model lies whose gain on the room air or on its vapour turns where it
		switches: the linear pieces of the controllers, the SmoothStep stages of the bypass's
		smooth step and the stage of the natural ventilation's rise. The one list of such switches for both interfaces: model exchange holds them
		between a host's events (m_heldPieces), co-simulation asks its integrator for a fresh
		Jacobian when one changes between completed steps; a sub-model added here is held in the
		one and refreshed for in the other. PIECE_OFF or stage 0 where the room has no such
		sub-model. Switches that do not act through the state (shading on the radiation, the
		assessment's air change, set at events and completed steps) are not among them. */
	struct SwitchPieces {
		/*! The heating, or the assessment's. */
		ControllerPiece						m_heating = PIECE_OFF;
		/*! The cooler (with the power its dehumidification leaves), or the assessment's passive cooling. */
		ControllerPiece						m_cooling = PIECE_OFF;
		/*! The cooler's dehumidification (moisture balance, CoolingModel::dehumidificationBand()). */
		ControllerPiece						m_dehumidification = PIECE_OFF;
		/*! The mechanical ventilation's cooling supply. */
		ControllerPiece						m_ventilationCooling = PIECE_OFF;
		/*! The stage of the mechanical ventilation's bypass of its heat recovery. */
		std::uint8_t						m_bypassStage = 0;
		/*! The rise of the natural ventilation's air change (MANAGED, DIN). */
		NaturalVentilationModel::HeldRise	m_naturalVentilationRise;

		bool operator==(const SwitchPieces & other) const;
		bool operator!=(const SwitchPieces & other) const { return !(*this == other); }
		/*! All of them in 32 bits, for a record of the last completed step: heating and cooling
			in the low two bytes, then the bypass stage (bits 17-18), the rise (stage in bits
			19-20, on the outside excess in bit 21), the dehumidification (bits 22-23) and the
			ventilation's cooling supply in the high byte. */
		std::uint32_t code() const;
	};

	/*! Empty model: default room and climate, no constructions, 5 C and 50 % outside. */
	CalovindaModel();
	virtual ~CalovindaModel();

	CalovindaModel(const CalovindaModel &) = delete;
	CalovindaModel & operator=(const CalovindaModel &) = delete;

	/*! Reads the project file into m_room, its embedded database items into database, and sets
		the room's project file path to the file's absolute path. Throws ZEB::Exception. */
	void readProject(const QString & projectFile, Database & database);
	/*! Catalogues the climate files of climateDir and userClimateDir (may be empty) and loads the
		room's climate location; places the sun at the location. Throws ZEB::Exception. */
	void initClimate(const QString & climateDir, const QString & userClimateDir);
	/*! Checks the room and the climate data, builds constructions, wall solvers and the state
		layout and writes the initial state; can be repeated after a change of the room.
		database must outlive the model's evaluations. Throws ZEB::Exception. */
	void init(const Database & database);

	/*! Outdoor state and adjacent-zone temperatures at m_t. */
	void updateClimate();
	/*! Room air state from m_y, then the wall solvers' cell values; with reuseWalls, a wall whose
		states are, bit for bit, those of its last such call keeps its cells (the same values). */
	void updateStates(bool reuseWalls = false);
	/*! The room air's temperature [K] in the states y, and its heat capacity [J/K] there (the
		vapour's included with the moisture balance). */
	double airTemperature(const double * y, double & capacity) const;
	/*! All loads, solar gains, surface flows and the mean radiant and operative temperature. */
	void updateLoads();
	/*! The derivatives of all states into m_ydot; with reuseWalls, a wall whose cells and
		boundary values are those of its last such call takes that call's derivatives (the same
		values). A host's difference-quotient Jacobian moves one state per column. */
	void updateDerivatives(bool reuseWalls = false);
	/*! Sets m_tRules and its hour of the year; t >= 0 [s]. */
	void setRuleTime(double t);

	/*! The heating and the cooling controller in force (the assessment's while it runs) at m_t,
		the cooling less the dehumidification power of the last load update. */
	ControllerBand heatingBand() const;
	ControllerBand coolingBand() const;
	/*! How far [K] beyond band's set point the room air would come to rest with band's present
		gain: where its output, load [W] now, balances the room air's energy of the last
		evaluation, airShare of the output reaching the air (the present depth where none does). */
	double restDepth(const ControllerBand & band, double load, double airShare) const;
	/*! Marks the heating's and the cooling's bands whose rooms tip beyond their off ends on the
		natural ventilation's rise held, or on a step that begins there (tipsJustBeyondOffEnd())
		(ControllerBand::m_tipsBeyondOffEnd), and their proportional pieces' points of rest at
		their ends on set points that move in time (ControllerBand::m_followingRestShift,
		followingRestShift()), for the switching functions and the pieces kept at events alike. */
	void markOffEnds(const SwitchPieces & held, ControllerBand & heating, ControllerBand & cooling) const;
	/*! How far [K] band's point of rest moves where the room air follows its set point moving in
		time (ControllerBand::m_setPointRate) rather than resting still, airShare [W per unit of
		output] of its output reaching the air; 0 where none does. */
	double followingRestShift(const ControllerBand & band, double airShare) const;
	/*! Whether the room air a hysteresis beyond band's off end would lie on a step of the natural
		ventilation on which the room tips (tippingRate()). */
	bool tipsJustBeyondOffEnd(const ControllerBand & band) const;
	/*! restDepth() for the heating's band heating, with its held load; the present depth where
		none of its output heats the air. */
	double heatingRestDepth(const ControllerBand & heating) const;
	/*! restDepth() for the ventilation's cooling supply band, its supply held on piece held; the
		present depth where the supply cannot cool the air. */
	double ventilationCoolingRestDepth(const ControllerBand & band, ControllerPiece held) const;
	/*! What [W per m3/h] the ventilation's cooling supply takes from the room air per cubic metre
		an hour; none where the supply cannot cool the air. */
	double ventilationCoolingAirShare() const;
	/*! The heat [W] that moves the room air at the last evaluation: the room's energy balance, less
		the heat its vapour's flows carry with the moisture balance. */
	double airHeatBalance() const;
	/*! The heat capacity [J/K] of the room air with its vapour (moisture balance) and its
		additional mass. */
	double airHeatCapacity() const;
	/*! Like restDepth(), for the dehumidification band (dehumidificationBand()) [kg/m3], its output load
		[W] now: where the room's vapour would come to rest beyond its set point, which moves with
		the room air, at the depth's rate depthRate (dehumidificationDepthRate()). */
	double dehumidificationRestDepth(const ControllerBand & band, double load, double depthRate) const;
	/*! How much [kg/(m3 s) per W] the dehumidification's depth's rate falls per watt more of its
		output, its set point's slope over the room air setPointSlope [kg/(m3 K)]: by the vapour
		that watt takes from the room, and with the cooler held on its full output (which the
		dehumidification takes its power from) by the set point's move with the air it warms. */
	double dehumidificationDepthRatePerWatt(double setPointSlope) const;
	/*! The rate [kg/(m3 s)] of the dehumidification's depth at the last evaluation, with the set
		point's slope [kg/(m3 K)] over the room air. */
	std::pair<double, double> dehumidificationDepthRate() const;
	/*! Where the cooling's power left (cooling, its m_limit [W]) would come to rest with its held
		piece, where the dehumidification's held proportional piece (band dehumidification, its
		depth's rate and set point's slope depthRate: dehumidificationDepthRate()) moves it with the
		room's vapour; NaN where it stays (ControllerBand::switchingFunctions()). */
	double coolingLimitRest(const ControllerBand & cooling, const ControllerBand & dehumidification,
							const std::pair<double, double> & depthRate) const;
	/*! Where the room air of the last evaluation lies beyond the raise depth
		(ControllerBand::m_raiseDepth) of a controller whose load lies on its proportional piece
		(heatingPiece, coolingPiece: the heating's and the cooling's, or the assessment's), raises
		that controller's gain as its adaptation does, again and again up to the gain with which
		the room air would rest within that depth (restDepth()). True when a gain rose. */
	bool raiseGainsToRest(ControllerPiece heatingPiece, ControllerPiece coolingPiece);
	/*! The mechanical ventilation's cooling supply in force at m_t (without output unless its
		cooling mode runs and the assessment does not), its proportional piece's ends taking the
		point of rest that follows its set point (followingRestShift()). */
	ControllerBand ventilationCoolingBand() const;
	/*! The switches where the room's state of the last evaluation puts them, at the rules in
		force; the cooling's piece with the power that the dehumidification's piece leaves. With
		held (the held pieces, whose loads the last evaluation took), the bypass's smooth step and
		the natural ventilation's rise keep their held stages while the room air lies within their
		reach (SmoothStep::next(), NaturalVentilationModel::rise()), and the controllers their held
		pieces until their switching functions call for a switch, or where joining, unless the
		room would rest on them (ControllerBand::nextPiece()); the cooler's chosen anew where the
		dehumidification's piece changes. */
	SwitchPieces switchPieces(const SwitchPieces * held = nullptr, bool joining = false) const;
	/*! How far [K] the room air of the last evaluation would move to rest with its surfaces and
		loads held, off the natural ventilation's step (NaturalVentilationModel::rise()). */
	double airRestShift() const;
	/*! The cooler's dehumidification in force at m_t and the room air of the last evaluation,
		over the room's vapour density (CoolingModel::dehumidificationBand()). */
	ControllerBand dehumidificationBand() const;
	/*! Model exchange: holds what switches on the state or on the radiation where it lies at the
		last evaluation (see m_switchesHeld), and what the assessment's enhanced ventilation
		watches. True when a held value of the right-hand side changed: the loads and derivatives
		of the last evaluation are then out of date. Joining: see switchPieces(); only where
		those loads and derivatives are the held pieces' at the rules in force. */
	bool holdSwitches(bool joining = false);
	/*! The switching functions at the last evaluation for the held values, numberOfSwitchingFunctions()
		of them: positive once the room air (or the radiation) has left what is held by more than
		a hysteresis (ControllerBand::switchingFunctions()), else negative. In this order, each
		group only where the room has it: heating on, heating limited or its gain due to rise
		(ControllerBand::raiseSwitchingFunction(); where some of its output heats the air), cooling
		on, cooling limited or its gain due to rise (heating, cooling or the assessment's
		controllers can act) [K]; the cooler's
		dehumidification on and limited (moisture balance) [kg/m3]; the ventilation's cooling
		supply on and limited [K]; the ventilation's bypass of its heat recovery below and above
		its stage [K]; the natural ventilation's rise (MANAGED, DIN: below and above its stage and
		the other excess; NaturalVentilationModel::riseSwitchingFunctions()) [K]; the room air
		against the threshold of the assessment's enhanced ventilation and the outside air against
		the room air [K] (-1 while none is watched); the radiation against its limit on each window
		whose shading switches on it [W/m2]. */
	void switchingFunctions(double * z) const;
	/*! Whether the room air lags behind where the heater or cooler held on its proportional piece
		would rest it, beyond the piece's off end (ControllerBand::lagsBeyondOffEnd()). */
	bool airLagsHeldController() const;
	/*! How many switching functions a host's solver watches. */
	unsigned int numberOfSwitchingFunctions() const;
	/*! The first time after t [s] at which a schedule or a time rule in force changes a value of
		the right-hand side; infinity when none ever does. Hours at which no schedule changes its
		value are passed over. */
	double nextRuleChange(double t) const;
	/*! Model exchange: the first of m_splineTurns after t [s]; infinity where none follows. */
	double nextSplineTurn(double t) const;
	/*! The longest step [s] the integrator (co-simulation) or a host's solver (model exchange,
		until its next time event) may take from the last evaluation with the switches as pieces:
		on a half of the natural ventilation's step that falls as the room warms, the e-folding
		time of the room air's tipping across it, RESOLVED_TIPPING_SHARE of it with airResolved and
		HOST_TIPPING_SHARE without, no shorter than SHORTEST_TIPPING_STEP; where a heater or cooler on its proportional
		piece holds the room there, with airResolved (the solver keeps the room air at its rest,
		as co-simulation's integrator does) half the time in which the room air would reach the
		device's off end at its present rate, no shorter than the tipping, and infinity while the
		air moves away from that end or without airResolved; the same, but no shorter than
		SHORTEST_TIPPING_STEP, where such a device holds the room short of a falling step on which
		the air would tip just beyond its off end; with airResolved, approachStep() where no such
		device holds the room off such a step; infinity elsewhere. */
	double tippingStep(const SwitchPieces & pieces, bool airResolved) const;
	/*! The longest step [s] co-simulation's integrator may take from the last evaluation while
		no heater or cooler holds the room and the room air nears a step of the natural
		ventilation on which it would tip: half the time in which the air would reach the step's
		nearer end at its present rate, no shorter than RESOLVED_TIPPING_SHARE of the tipping
		time there (nor than SHORTEST_TIPPING_STEP); infinity where the air moves away from the
		step, lies on it, or would not tip there. */
	double approachStep() const;
	/*! Model exchange: the time [s] from the last evaluation in which the room air, held by a
		heater's or cooler's proportional piece (pieces), comes within SETTLED_AIR_REACH of where
		that piece balances it, its distance shrinking e-fold in the air's time constant on the
		piece (at least that time constant and a second); infinity where it lies within already or
		no such piece holds it. distance, if given, is set to how far [K] the air lies from that
		balance (0 where no such piece holds it). */
	double settlingStep(const SwitchPieces & pieces, double * distance = nullptr) const;
	/*! How fast [W/K] the room air's distance from its balance grows on the natural ventilation's
		step held as rise, were no heater or cooler to hold it: the fall of the air change's loss
		with the room air, less what holds the air; 0 or less where the room does not tip. */
	double tippingRate(const NaturalVentilationModel::HeldRise & rise) const;
	/*! The same with the room air at TRoom [K]. */
	double tippingRate(const NaturalVentilationModel::HeldRise & rise, double TRoom) const;
	/*! How far [K] a heater's or cooler's proportional piece continued past its off end may hold
		the room air from where the air would go without it (ControllerBand::m_offEndOutput; the
		dehumidification's the room's vapour by as much vapour as holds that heat): a
		room resting where the device just switches off needs next to nothing of it, more than the
		few millikelvin a host's restart moves the air, and one that the sun or the night moves
		away leaves it. */
	static constexpr double OFF_END_AIR_REACH = 5e-3;
	/*! The shortest step [s] tippingStep() asks for: a room tips no faster than its air's time
		constant of seconds. */
	static constexpr double SHORTEST_TIPPING_STEP = 1;
	/*! The share of the tipping time co-simulation's integrator steps while the room tips free
		(tippingStep() with airResolved). */
	static constexpr double RESOLVED_TIPPING_SHARE = 0.25;
	/*! The share of the tipping time between a host's time events while the room tips free
		(tippingStep() without airResolved). */
	static constexpr double HOST_TIPPING_SHARE = 0.5;
	/*! How long [s] a ramp of a schedule's spline over time may last whose turns are taken as
		one, its first (m_splineTurns): a change of a few minutes is a step to the room. */
	static constexpr double SPLINE_RAMP = 300;
	/*! The share of a schedule's spline's range (of its values but their highest and lowest
		hundredth) by which a point must lie off the straight line through its neighbours to be
		taken as a turn (m_splineTurns). */
	static constexpr double SPLINE_BEND = 0.1;
	/*! How far [K] from its balance on a proportional piece settlingStep() lets the room air lie:
		as far as the piece reaches beyond its off end before it ends regardless of where the air
		would rest (ControllerBand::CONTINUATION_REACH hystereses). */
	static constexpr double SETTLED_AIR_REACH = ControllerBand::CONTINUATION_REACH*ControllerBand::SWITCH_HYSTERESIS;
	/*! How far [W/m2] the radiation must pass a window's limit before its shading is due to switch
		(ControllerBand::SWITCH_HYSTERESIS, for the radiation). */
	static constexpr double RADIATION_HYSTERESIS = 1e-4;

	/*! Reports compiler and library versions as progress messages. */
	static void printVersionStrings();

	/*! The project's room with all its sub-models. */
	Room								m_room;
	/*! Zone temperature and shading factor files named by a relative path are taken from beside
		the project only, never from the working directory: an FMU's files lie in its resources,
		and its host's working directory is none of its business. */
	bool								m_filesBesideProjectOnly = false;
	/*! Climate data, sun and radiation on the outside surfaces. */
	Climate								m_climate;
	/*! One per entry of m_constructions, same order. */
	std::vector<ConstructionSolver>		m_constructionSolvers;
	/*! Per construction the element index of its first cell. */
	std::vector<unsigned int>			m_elementOffsets;
	/*! Number of kept constructions. */
	unsigned int						m_nConstructions;
	/*! Copies of the room constructions with a construction type, corrected and with resolved
		database pointers and solar surface ids. Never resized once the solvers point into it. */
	std::vector<RoomConstruction>		m_constructions;
	/*! Per construction the share of the heating load [-] and of the window solar gains [-] that
		reaches its inner surface as radiation. */
	std::vector<double>					m_heatingRadiantFraction;
	std::vector<double>					m_solarRadiantFraction;
	/*! Sum of the wall areas AW [m2]. */
	double								m_totalArea;

	/*! Number of unknowns. */
	unsigned int						m_n;
	/*! States per element: 1, or 2 with the moisture balance. */
	unsigned int						m_m;

	/*! Model time [s]; set by the driver. */
	double								m_t;
	/*! The time at which the schedules and time rules are evaluated [s] (setRuleTime()): m_t,
		except where a host in model exchange evaluates the model at a time event before it has
		handled it; until then the rules of just before the event hold. */
	double								m_tRules;
	/*! Hour of the year of m_tRules, a whole number. */
	double								m_hourOfYear;

	/*! Outdoor air temperature [K]. */
	double								m_TOut;
	/*! Outdoor relative humidity [0..1]. */
	double								m_RHOut;
	/*! Outdoor vapour pressure [Pa] (moisture balance only, else 0). */
	double								m_pvOut;
	/*! Outdoor saturation vapour pressure [Pa] (moisture balance only, else 0). */
	double								m_pSatOut;
	/*! Outdoor vapour density [kg/m3] (moisture balance only, else 0). */
	double								m_rhoVOut;

	/*! External heat flow into the room air [W], written by the FMU model. */
	double								m_externalHeatInput;
	/*! External vapour flow into the room air [kg/s], written by the FMU model. */
	double								m_externalVaporInput;
	/*! The part of the external vapour flow [kg/s] that enters as liquid water and evaporates in the
		room, written by the FMU model. */
	double								m_externalLiquidInput;

	/*! States and their derivatives, n each. */
	std::vector<double>					m_y;
	std::vector<double>					m_ydot;

	/*! Room air temperature [K]. */
	double								m_TRoom;
	/*! Operative temperature [K]: mean of air and mean radiant temperature. */
	double								m_TOperative;
	/*! Mean radiant temperature of walls and windows [K], area-weighted. */
	double								m_TMeanRadiant;
	/*! Room relative humidity [0..1] (moisture balance only, else 0). */
	double								m_RHRoom;
	/*! Room vapour pressure [Pa] (moisture balance only, else 0). */
	double								m_pvRoom;
	/*! Room vapour density [kg/m3]. */
	double								m_rhoVRoom;
	/*! Room dry-air density [kg/m3] (moisture balance only, else 0). */
	double								m_rhoDryAir;

	/*! Heating load [W] >= 0 (held on a piece: see m_switchesHeld). */
	double								m_heatingLoad;
	/*! Sensible cooling load [W] <= 0 (held on a piece: see m_switchesHeld). */
	double								m_coolingLoad;
	/*! Model exchange, from a host's first event on: updateLoads() keeps the heating and the
		cooling load, the dehumidification and the ventilation's cooling supply on the linear law
		of their held pieces (and the smooth steps of the heat recovery's bypass and the natural
		ventilation's rise on their held stages), continued beyond the pieces' ends, instead of
		limiting them. A host's solver reuses its
		Jacobian over many steps and takes it at predicted states, which may lie on another piece
		than the solution; with a gain of tens of kW/K on the room air, such a Jacobian damps or
		drives the room air's Newton corrections tenfold, and the error hides among the hundreds
		of wall states of the error norm. Held pieces keep the derivatives smooth between events;
		the switching functions make the host stop and restart at each switch. */
	bool								m_switchesHeld;
	SwitchPieces						m_heldPieces;
	/*! Per construction, held with the pieces: whether its shading, which switches on the
		radiation (m_windowRadiationLimit), is closed. */
	std::vector<std::uint8_t>			m_heldWindowShaded;
	/*! The assessment's enhanced ventilation as held at the last event: whether its switching
		functions watch it (one may run in the time window in force, and the air change has not
		just changed), the room air temperature [C] above which it runs, and whether the room air
		lay above it and the outside air below the room air. */
	bool								m_heldVentilationWatched;
	double								m_heldVentilationThreshold;
	bool								m_heldRoomAboveThreshold;
	bool								m_heldOutsideBelowRoom;
	/*! Moisture removed by the cooling [kg/s] <= 0 and its enthalpy flow [W]. */
	double								m_coolingMoistureFlow;
	double								m_coolingMoistureEnthalpyFlow;
	/*! Power spent on dehumidification [W]; an output only. */
	double								m_dehumidificationPower;
	/*! Mechanical ventilation: heat flow [W], vapour flow [kg/s], supply flow [m3/s] and the
		power of its air conditioning [W] (an output only). */
	double								m_mechanicalVentilationHeatLoad;
	double								m_mechanicalVentilationMoistureFlow;
	double								m_mechanicalVentilationSupplyFlow;
	double								m_mechanicalVentilationCoolingPower;
	/*! Heat gain of the persons [W], of the equipment [W], and the persons present [-]. */
	double								m_personLoad;
	double								m_equipmentLoad;
	double								m_occupancy;
	/*! Natural ventilation (or the assessment's ventilation): heat flow [W], vapour flow [kg/s]. */
	double								m_naturalVentilationHeatLoad;
	double								m_naturalVentilationMoistureFlow;
	/*! Moisture production [kg/s] and its enthalpy flow [W]. */
	double								m_moistureProduction;
	double								m_moistureProductionEnthalpy;
	/*! Air change rate [1/h]. */
	double								m_airChangeRate;

	// Per construction
	/*! Window solar gain [W]. */
	std::vector<double>					m_windowSolarGain;
	/*! Solar incidence angle [Deg]; -180 for constructions without outside surface. */
	std::vector<double>					m_incidenceAngle;
	/*! Effective solar heat gain coefficient [-]; -1 without a window, 0 at night. */
	std::vector<double>					m_SHGC;
	/*! Structural shading factors from the file and from overhang and fins [-]. */
	std::vector<double>					m_structuralShadingFileFactor;
	std::vector<double>					m_structuralShadingGeometryFactor;
	/*! Factor of the movable shading [-]. */
	std::vector<double>					m_shadingControlFactor;
	/*! Heat flow through the window into the room [W]. */
	std::vector<double>					m_windowTransmission;
	/*! Radiant load on the inner surface [W]. */
	std::vector<double>					m_radiantLoad;
	/*! Convective heat flow from the room air into the construction [W]. */
	std::vector<double>					m_convectiveFlow;
	/*! Vapour flow from the room air into the construction [kg/s] and its enthalpy flow [W]. */
	std::vector<double>					m_vaporFlow;
	std::vector<double>					m_vaporEnthalpyFlow;
	/*! Inner window surface temperature [K]; 0 without a window. */
	std::vector<double>					m_windowSurfaceTemperature;

	// Totals
	/*! Window solar gains [W]. */
	double								m_solarGains;
	/*! Heat flow through all windows into the room [W]. */
	double								m_windowTransmissionTotal;
	/*! Convective heat flow from the constructions into the room air [W]. */
	double								m_wallConvectionTotal;
	/*! Vapour flow from the constructions into the room air [kg/s] and its enthalpy flow [W]. */
	double								m_wallVaporTotal;
	double								m_wallVaporEnthalpyTotal;

	// Per construction, outer surface
	/*! Direct, diffuse and total short-wave radiation [W/m2]. */
	std::vector<double>					m_directRadiation;
	std::vector<double>					m_diffuseRadiation;
	std::vector<double>					m_globalRadiation;
	/*! Absorbed short-wave radiation [W/m2]. */
	std::vector<double>					m_absorbedRadiation;

	/*! Per construction the index of its room construction, which also indexes its structural
		shading; -1 when the room holds no structural shading for it. */
	std::vector<int>					m_structuralShadingIndex;
	/*! Per construction the radiation on its window above which its shading closes [W/m2];
		infinity where the shading in force does not switch on the radiation. Set by init(). */
	std::vector<double>					m_windowRadiationLimit;
	/*! The most output [W] a heater's or cooler's proportional piece continued past its off end
		gives there: what holds the room air OFF_END_AIR_REACH from where it would go without it,
		through its conductance to the room's surfaces and windows. Set by init(). */
	double								m_offEndOutput = 0;
	/*! The room air's conductance [W/K] to the room's surfaces and windows. Set by init(). */
	double								m_airConductance = 0;
	/*! The same for the cooler's dehumidification [W]: what holds the room's vapour as far from
		where it would go, by its heat of evaporation, through the surfaces' vapour exchange. Set by
		init(). */
	double								m_offEndDehumidificationOutput = 0;
	/*! Per hour of the year the hours to the next at which a schedule in force changes its value,
		1 to 8760; 0 when none ever does. Set by init(). */
	std::vector<unsigned int>			m_hoursToScheduleChange;
	/*! The times [s], ascending, at which a schedule in force given as a spline over time changes
		its slope by more than a bend of SPLINE_BEND, less those within SPLINE_RAMP after a time kept.
		Set by init(). */
	std::vector<double>					m_splineTurns;

private:
	/*! The cooling controller in force with dehumidificationPower [W] taken from its power. */
	ControllerBand coolingBand(double dehumidificationPower) const;
	/*! Sets up m_windowRadiationLimit, m_hoursToScheduleChange, m_splineTurns, m_heldWindowShaded,
		m_airConductance, m_offEndOutput and m_offEndDehumidificationOutput. */
	void initSwitches();
	/*! Reads the adjacent-zone temperature series of construction copy rc into its spline [K]. */
	void readZoneTemperatureSeries(RoomConstruction & rc, const ZEB::Path & projectDir);
};

} // namespace RX

#endif // RX_CalovindaModelH
