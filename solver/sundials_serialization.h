#ifndef sundials_serializationH
#define sundials_serializationH

/* Byte formats of CVODE vectors and dense/band matrices inside state snapshots: native byte
   order, no padding. The data pointer advances past what is written or read. A null data pointer
   (or one pointing to null) is refused with -4 and nothing is written or read. */

#include <nvector/nvector_serial.h>
#include <sundials/sundials_matrix.h>

#ifdef __cplusplus
extern "C" {
#endif

/* u64 length L, then L doubles. Returns the bytes written. */
long SerializeNVector(void ** dataPtr, N_Vector v);
/* Reads into v; the stored length must equal v's and every value must be finite. Returns the
   bytes read, or (nothing read, pointer unmoved) -3 on a length mismatch, -5 for a value that is
   not finite. At most 8 + 8 length(v) bytes are read. */
long DeSerializeNVector(void ** dataPtr, N_Vector v);
/* 8 + 8 ldata for a dense or band matrix, -1 for other matrix kinds. */
long SerializeDlsMatSize(SUNMatrix A);
/* u64 ldata, then the ldata doubles in storage order. Returns the bytes written, -1 for other
   matrix kinds, -4 without data pointer. */
long SerializeDlsMat(void ** dataPtr, SUNMatrix A);
/* Reads into A; the stored ldata must equal A's and every value must be finite. Returns the bytes
   read, -3 on a mismatch, -5 for a value that is not finite (nothing read then). At most
   SerializeDlsMatSize(A) bytes are read. */
long DeSerializeDlsMat(void ** dataPtr, SUNMatrix A);

#ifdef __cplusplus
}
#endif


#ifdef __cplusplus

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace KADRIX {

/*! Walks the fields of a snapshot block in one order for writing, reading and sizing, so that
	the three cannot disagree. A stored length or identity field that does not match the target
	stops the walk: every later field is skipped and error() is -3. A walk never goes beyond the
	size that a Size walk of the same target gives.

	Check walks a stored block before it is restored: plain fields are read like Read, so a check
	walks a copy of the target's record and the caller then validates the values; vectors and
	matrices are only validated (every value finite), never stored, and a failure stops the walk
	with error() -5. A setting (a tolerance, step bound or iteration limit the owner chose at
	init) that differs from the target's own stops the walk with error() -6. */
class SerializationWalker {
public:
	enum Mode {
		Write	= 0,
		Read	= 1,
		Size	= 2,
		Check	= 3
	};

	/*! data is the block's first byte (unused when sizing). */
	SerializationWalker(int mode, void * data) : m_mode(mode), m_pos(static_cast<char *>(data)) {}

	/*! A field stored as type Stored (i32, i64, f64...), held as T. */
	template <typename Stored, typename T>
	void field(T & value) {
		if (m_error != 0)
			return;
		if (m_mode == Write) {
			const Stored s = static_cast<Stored>(value);
			std::memcpy(m_pos, &s, sizeof(Stored));
		}
		else if (m_mode == Read || m_mode == Check) {
			Stored s;
			std::memcpy(&s, m_pos, sizeof(Stored));
			value = static_cast<T>(s);
		}
		advance(sizeof(Stored));
	}
	/*! A field that must be stored with the target's own value (a size, a method): written as
		own, compared on reading. */
	template <typename Stored, typename T>
	void identity(T own) {
		if (m_error != 0)
			return;
		const Stored s = static_cast<Stored>(own);
		if (m_mode == Write)
			std::memcpy(m_pos, &s, sizeof(Stored));
		else if (m_mode == Read || m_mode == Check) {
			Stored stored;
			std::memcpy(&stored, m_pos, sizeof(Stored));
			if (stored != s) {
				m_error = -3;
				return;
			}
		}
		advance(sizeof(Stored));
	}
	/*! A setting of the target: written as own; on reading a stored value that is not own
		(bit for bit) is refused with -6, since it would change how the target steps. */
	template <typename Stored, typename T>
	void setting(T own) {
		if (m_error != 0)
			return;
		const Stored s = static_cast<Stored>(own);
		if (m_mode == Write)
			std::memcpy(m_pos, &s, sizeof(Stored));
		else if ((m_mode == Read || m_mode == Check) && std::memcmp(m_pos, &s, sizeof(Stored)) != 0) {
			m_error = -6;
			return;
		}
		advance(sizeof(Stored));
	}
	/*! A vector that is a setting of the target (a vector tolerance), compared like setting(). */
	void settingVector(N_Vector v);
	/*! A field that only exists in the stored form: value is written, skipped on reading. */
	template <typename Stored, typename T>
	void constant(T value) {
		if (m_error != 0)
			return;
		if (m_mode == Write) {
			const Stored s = static_cast<Stored>(value);
			std::memcpy(m_pos, &s, sizeof(Stored));
		}
		advance(sizeof(Stored));
	}
	/*! Array of n values, each stored as Stored. */
	template <typename Stored, typename T>
	void array(T * values, std::size_t n) {
		for (std::size_t i = 0; i < n; ++i)
			field<Stored>(values[i]);
	}
	/*! A vector; a check also refuses negative values when nonNegative is set, and gives the
		largest magnitude it holds in largest (when given). */
	void nvector(N_Vector v, bool nonNegative = false, double * largest = nullptr);
	/*! A dense or band matrix; other kinds fail the walk. */
	void matrix(SUNMatrix A);

	/*! Reads a stored value without storing it anywhere (Read and Check); v otherwise. */
	template <typename Stored>
	Stored peek(Stored v) const {
		if (m_mode == Read || m_mode == Check)
			std::memcpy(&v, m_pos, sizeof(Stored));
		return v;
	}
	bool reading() const { return m_mode == Read || m_mode == Check; }

	/*! Bytes walked so far. */
	long bytes() const { return m_bytes; }
	/*! 0; -3 after a length mismatch (read) or an unsupported matrix; -5 after a value a check
		refused; -6 after a setting that differs from the target's. */
	int error() const { return m_error; }
	int mode() const { return m_mode; }

private:
	/*! Check: n stored doubles at the current position are finite (and not negative); their
		largest magnitude goes to largest. */
	void checkReals(std::size_t n, bool nonNegative, double & largest);

	void advance(std::size_t n) {
		if (m_mode != Size)
			m_pos += n;
		m_bytes += static_cast<long>(n);
	}

	int		m_mode;
	char *	m_pos;
	long	m_bytes = 0;
	int		m_error = 0;
};

/*! For the deserialize() of the solver objects: throws ZEB::Exception at location unless bytes
	bytes lie between dataPtr and dataEnd (both required). */
void checkSnapshotRoom(const void * dataPtr, std::size_t bytes, const void * dataEnd, const char * location);

/*! True when the n doubles at values are all finite. */
bool allFinite(const double * values, std::size_t n);

} // namespace KADRIX

#endif // __cplusplus

#endif // sundials_serializationH
