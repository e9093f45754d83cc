#ifndef RX_CalovindaModelInterfaceH
#define RX_CalovindaModelInterfaceH

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "KADRIX_IntegratorImplicitEuler.h"
#include "KADRIX_IntegratorSundialsCVODE.h"
#include "KADRIX_ModelInterface.h"
#include "KADRIX_OutputScheduler.h"

#include "RX_CalovindaModel.h"
#include "RX_OutputManager.h"

namespace KADRIX {
class JacobianSparseCSR;
}

namespace ZEB {
class Path;
}

namespace RX {

/*! The room model as a model of the solver framework.

	Answers the integrators' questions, picks the linear equation solver, sparse Jacobian and
	preconditioner by name on the first request and owns them (and both integrators) for its whole
	life, supplies the Jacobian's sparsity pattern and, while the summer assessment runs, its own
	error weights. Drives the outputs and the controllers' slope adaptation from the framework's
	output and step hooks.

	The owner sets m_lesSolverName, m_integratorName and m_preconditionerName, then calls
	readProject(), initClimate() and init().

	The two exports, which no run calls, live in sources of their own with their templates:
	RX_CalovindaModelInterfaceModelicaExport.cpp and RX_CalovindaModelInterfaceFMUExport.cpp.
*/
class CalovindaModelInterface : public KADRIX::ModelInterface, public KADRIX::OutputScheduler, public CalovindaModel {
public:
	CalovindaModelInterface();
	~CalovindaModelInterface() override;

	CalovindaModelInterface(const CalovindaModelInterface &) = delete;
	CalovindaModelInterface & operator=(const CalovindaModelInterface &) = delete;

	unsigned int n() const override;
	/*! The model's own state vector, which setY() writes. */
	const double * y0() const override;
	double t0() const override;
	/*! 1 s. */
	double dt0() const override;
	/*! Two years (63072000 s) for a cyclic run, else the room's end time. */
	double tEnd() const override;

	/*! Model time, hour of the year and climate; the assessment's first ventilation update.
		Aborts (2) for a negative or non-finite time. */
	CalculationResult setTime(double t) override;
	/*! Copies y (which may be the model's own storage) and runs states, loads and derivatives. */
	CalculationResult setY(const double * y) override;
	/*! The derivatives of the last setY(); aborts (2) without copying while m_abort is set. */
	CalculationResult ydot(double * ydot) override;

	/*! Evaluates the model at (t, y) and appends one row of outputs. Throws ZEB::Exception for a
		negative or non-finite time and when the output manager refuses the row. */
	void writeOutputs(double t, const double * y) override;
	/*! Evaluates the model at (t, y), integrates the outputs, raises the controllers' slopes as far
		as the room air would rest within their bands (raiseGainsToRest()) and
		updates the running extremes of the output manager; asks for a fresh Jacobian when a
		controller changed its piece or its slope, and after every step that ends with the natural
		ventilation's air change on its step. Throws ZEB::Exception for a negative or non-finite
		time. */
	void stepCompleted(double t, const double * y) override;
	/*! The request stepCompleted() raised, cleared by asking. */
	bool takeJacobianUpdateRequest() override;
	/*! Notes the switches' pieces and stages at (t, y), the state of the integrator's new Jacobian. */
	void jacobianBuilt(double t, const double * y) override;
	/*! The room air's energy where a controller lies on its proportional piece in the
		integrator's Jacobian but off that piece at (t, y), its vapour where the dehumidification
		does. */
	unsigned int equationsOffMatrixPiece(double t, const double * y, unsigned int * rows) override;
	/*! The summer assessment's ventilation update of a completed step at the model's time and
		state, or, atEvent, of a host's event, with the rules just after that time (the time window
		of the hour that follows, the end of the dwell included), unless the air change still holds
		(DIN4108_2Assessment::ventilationDwelling()). True when the air change changed: it then
		holds for the next DIN4108_2Assessment::VENTILATION_DWELL. */
	bool switchAssessmentVentilation(bool atEvent);

	/*! Created on the first call from m_lesSolverName (and m_preconditionerName), the same object
		afterwards. Throws ZEB::Exception for an unknown preconditioner. */
	KADRIX::LESInterface * lesInterface() override;
	/*! The implicit Euler integrator for the name "ImplicitEuler" (case-sensitive), else CVODE. */
	KADRIX::IntegratorInterface * integratorInterface() override;
	KADRIX::PrecondInterface * preconditionerInterface() override;
	KADRIX::JacobianInterface * jacobianInterface() override;

	/*! w = 1 / (|y| 1e-6 + 1e-6), ten times that for the room's own states unless a falling step
		alone installs the function (the summer assessment inactive); with a natural ventilation
		that falls as the room warms, the room air's at least 1 / (1e-6 C (|theta -
		m_fallingStepStart| + TIPPING_AIR_DIFFERENCE)), C its heat capacity and theta its
		temperature [C]. */
	CalculationResult calculateErrorWeights(const double * y, double * weights) override;
	/*! True while the summer assessment is active or a natural ventilation's step falls. */
	bool hasErrorWeightsFunction() override;

	/*! The next point of the output grid after t (a time within 1e-10 s below a point counts as
		on it): the multiples of the output step and the run's end time. */
	double nextOutputTime(double t) override;

	/*! Initialises the room model on db (which must outlive the model), the outputs and the
		selected integrator's tolerances; reports the unknowns. Throws ZEB::Exception, also for a
		negative start time and a non-positive output step. */
	void init(const Database & db);

	/*! Selects the solver objects every driver of the room model uses, the FMU and the
		stand-alone run alike: CVODE with GMRES and the ILU preconditioner. Without a
		preconditioner GMRES converges so badly that the Jacobian is rebuilt almost every step (a
		year of the test box took 89 s instead of 5.6 s). KLU takes as long on the example's year
		(0.98 of the time, same steps and accuracy) but keeps no state snapshot, which the FMU's
		states need. Sets the three names; call before init(). */
	void chooseSolvers();
	/*! Starts the selected integrator at t0() and the initial state with the solver objects the
		names select (created here on first use). Throws ZEB::Exception for an unknown
		preconditioner and when the integrator refuses to start. */
	void initIntegrator();
	/*! The co-simulation stepping loop: lets the integrator step up to tEnd [s] exactly (never
		past it), calls stepCompleted() after every step and writeOutputs() at every point of the
		output grid on the way, and leaves the model evaluated at the integrator's time. The first
		call from t0() first writes the start row. Throws ZEB::Exception for a tEnd before the
		integrator's time, a failed step and a failed evaluation. */
	void integrateTo(double tEnd);

	/*! Builds the CSR pattern m_ia, m_ja of the Jacobian from the model's layout. */
	void generateIndexVector();

	/*! Writes the initialised room as a Modelica package into exportDir (created when missing;
		a relative path counts from the working directory), named after its last component:
		climate and schedule tables, the models Climate, Wall1..WallN, Room, Calovinda,
		Schedules and the package file. Throws ZEB::Exception, before writing anything, for an
		empty climate series, a construction with fewer than 2 cells and a failed schedule
		conversion, and when a directory or file cannot be written. The package's files are
		written as one set (ZEB::OutputFolder, listed in PACKAGE_LIST): a failed export leaves an
		earlier package as it was, and a file of an earlier package that this one does not hold
		(a wall the room no longer has) goes; the folder's other files stay. */
	void export2Modelica(const ZEB::Path & exportDir) const;
	/*! The file in a package's directory that lists the files of the package written there. */
	static constexpr const char * PACKAGE_LIST = ".calovinda-package";
	/*! True for the name of a file that export2Modelica writes, for any room. */
	static bool isPackageFile(const std::string & name);

	/*! Packs projectFile as an FMU archive fmuFile: the library "CalovindaFMI2.so" from
		libraryDir, the project as "resources/calovinda_project.rmxml", its climate data (one
		file, or a CCD data set beside the reference) from climateDir, or from the climate
		database when climateDir is empty, and the model description with resultsRootDir as
		results root. A caller that simulates the project on the climate beside it passes the
		project's folder, so that the FMU runs on the same climate. The model must have been initialised for
		that project (its unknowns give the states); the project is read again into a room
		description of the export's own, so the model stays as it was. The tree is built in a
		directory of its own below workDir (by default the temporary directory; a caller that
		removes workDir when it is interrupted passes its own) and removed on every way out.
		False, after an error message, when anything but the directory creations fails; an
		exception of the project reader passes through. */
	bool export2FMU(const ZEB::Path & libraryDir, const ZEB::Path & projectFile, const ZEB::Path & fmuFile,
					const ZEB::Path & resultsRootDir, const ZEB::Path & climateDir = ZEB::Path(),
					const ZEB::Path & workDir = ZEB::Path());

	/*! Set by the owner to stop the integration at the next derivative evaluation. */
	bool								m_abort;
	KADRIX::LESInterface *				m_lesSolver;
	KADRIX::JacobianSparseCSR *			m_jacobian;
	KADRIX::PrecondInterface *			m_preconditioner;
	/*! "Dense", "BTridiag", "Band", "GMRES", "BiCGStab", anything else KLU (case-insensitive). */
	std::string							m_lesSolverName;
	/*! "ImplicitEuler", anything else CVODE. */
	std::string							m_integratorName;
	/*! Empty, "ILU" or "Band" with an optional half-bandwidth in parentheses, as "Band(3)". */
	std::string							m_preconditionerName;
	/*! The output quantities of the run, bound to this model by init(). */
	OutputManager						m_outputManager;
	KADRIX::IntegratorSundialsCVODE		m_integratorCVODE;
	KADRIX::IntegratorImplicitEuler		m_integratorImplicitEuler;
	/*! Row starts (n + 1) and column indices of the Jacobian pattern, columns ascending per row. */
	std::vector<std::uint32_t>			m_ia;
	std::vector<std::uint32_t>			m_ja;
	/*! The switches' pieces and stages at the last completed step (SwitchPieces::code());
		PIECES_UNKNOWN before the first. */
	std::uint32_t						m_controllerPieces;
	/*! Raised by stepCompleted() for the integrator's next step (takeJacobianUpdateRequest()). */
	bool								m_jacobianUpdateRequested;
	/*! The switches' pieces and stages at the state of the integrator's Jacobian; all off before
		the first. */
	SwitchPieces						m_jacobianPieces;
	/*! tippingStep() at the last completed step [s]: the longest step the integrator's next may
		take; infinite before the first. */
	double								m_tippingLimit = std::numeric_limits<double>::infinity();
	/*! Whether this run has warned that the room air passed saturation (once per run). */
	bool								m_saturationReported = false;

	static const std::uint32_t			PIECES_UNKNOWN = 0xffffffffu;

private:
	/*! Adds the entry (row, column) to the pattern unless it is there. */
	void setIndexLocation(unsigned int row, unsigned int column);
	/*! Adds all entries between the unknowns of elements a and b. */
	void addBlock(unsigned int a, unsigned int b);
	/*! The assessment's ventilation update at the current model state, its time rules taken at
		tRules [h]. */
	void updateAssessmentVentilation(double tRules);
	/*! The switches' pieces and stages at time t and state y, from the room's states alone: the
		loads and derivatives are left as they were. */
	SwitchPieces switchPiecesAt(double t, const double * y);
	/*! The sum of the controllers' slopes [W/K]; they only grow, so any change changes it. */
	double controllerSlopes() const;

	/*! The time of the last climate update by setTime() [s]; NaN before the first. */
	double								m_climateTime;
	/*! The time of the schedule or time rule change that the integrator's step under way ends on
		at the latest (infinity outside integrateTo()): evaluated on that time, the step, and the
		fluxes that stepCompleted() counts for it, see the rules of just before it. */
	double								m_ruleChangeAhead;
	/*! NaturalVentilationModel::fallingStepStart() [C], set by init(): NaN without a falling step. */
	double								m_fallingStepStart = std::numeric_limits<double>::quiet_NaN();
	/*! The temperature difference [K] from a falling step's start within which the room air is
		held as closely as at that difference (calculateErrorWeights()). */
	static constexpr double				TIPPING_AIR_DIFFERENCE = 0.1;
};

} // namespace RX

#endif // RX_CalovindaModelInterfaceH
