#ifndef ZEB_ptr_listH
#define ZEB_ptr_listH

#include <algorithm>
#include <vector>

#include "ZEB_Exception.h"

namespace ZEB {

/*! An owning list of pointers in insertion order: the destructor deletes every element.
	Position lookups are constant time. */
template <typename T>
class ptr_list {
public:
	typedef typename std::vector<T *>::const_iterator const_iterator;

	ptr_list() = default;
	ptr_list(const ptr_list &) = delete;
	ptr_list & operator=(const ptr_list &) = delete;
	virtual ~ptr_list() { clear(); }

	/*! Takes ownership of p; a non-null pointer already held is refused (and stays owned once). */
	void add(T * p) {
		if (p != nullptr && std::find(m_items.begin(), m_items.end(), p) != m_items.end())
			throw Exception("Pointer already exists in the list.", "[ptr_list<T>::add]");
		m_items.push_back(p);
	}
	/*! Deletes every element. */
	void clear() {
		for (T * p : m_items)
			delete p;
		m_items.clear();
	}

	std::size_t size() const { return m_items.size(); }
	bool empty() const { return m_items.empty(); }
	T * operator[](std::size_t i) const { return m_items[i]; }
	const_iterator begin() const { return m_items.begin(); }
	const_iterator end() const { return m_items.end(); }

private:
	std::vector<T *>	m_items;
};

} // namespace ZEB

#endif // ZEB_ptr_listH
