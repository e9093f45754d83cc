#ifndef sundials_serializationH
#define sundials_serializationH

/* Byte formats of CVODE vectors and dense/band matrices inside state snapshots: native byte
   order, no padding. The data pointer advances past what is written or read. */

#include <nvector/nvector_serial.h>
#include <sundials/sundials_matrix.h>

#ifdef __cplusplus
extern "C" {
#endif

/* u64 length L, then L doubles. Returns the bytes written. */
long SerializeNVector(void ** dataPtr, N_Vector v);
/* Reads into v; the stored length must equal v's. Returns the bytes read, or -3 (nothing read,
   pointer unmoved) on a length mismatch. */
long DeSerializeNVector(void ** dataPtr, N_Vector v);
/* 8 + 8 ldata for a dense or band matrix, -1 for other matrix kinds. */
long SerializeDlsMatSize(SUNMatrix A);
/* u64 ldata, then the ldata doubles in storage order. Returns the bytes written, -1 for other
   matrix kinds. */
long SerializeDlsMat(void ** dataPtr, SUNMatrix A);
/* Reads into A; the stored ldata must equal A's. Returns the bytes read, -3 on a mismatch. */
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
	stops the walk: every later field is skipped and error() is -3. Check walks a stored block
	like Read but changes nothing, so that a block can be validated before it is restored. */
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
		else if (m_mode == Read) {
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
	void nvector(N_Vector v);
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
	/*! 0, or -3 after a length mismatch (read) or an unsupported matrix. */
	int error() const { return m_error; }
	int mode() const { return m_mode; }

private:
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

} // namespace KADRIX

#endif // __cplusplus

#endif // sundials_serializationH
