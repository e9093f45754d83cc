#ifndef XMLTestSupportH
#define XMLTestSupportH

#include <clocale>
#include <ostream>
#include <string>

#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

/*! Failure messages show texts, not code units. */
inline void PrintTo(const QString & text, std::ostream * out) {
	*out << '"' << text.toStdString() << '"';
}

// Helpers of the item tests: write an item to a text, read one from a text.
namespace XMLTestSupport {

/*! The element that item.writeXML writes, without declaration or formatting. */
template <typename T>
QString written(const T & item) {
	QString text;
	QXmlStreamWriter writer(&text);
	item.writeXML(writer);
	return text;
}

/*! Reads the first element of xml into item; the reader's error text, "" when none. */
template <typename T>
QString readInto(const QString & xml, T & item) {
	QXmlStreamReader reader(xml);
	if (reader.readNextStartElement())
		item.readXML(reader);
	return reader.hasError() ? reader.errorString() : QString();
}

/*! For its lifetime, the C library's numeric locale is a decimal-comma one when the machine
	has any (the stream locale is set by TestSupport::GlobalCommaLocale). */
class CommaCLocale {
public:
	CommaCLocale() : m_old(std::setlocale(LC_NUMERIC, nullptr)) {
		for (const char * name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
			if (std::setlocale(LC_NUMERIC, name) != nullptr)
				break;
	}
	~CommaCLocale() { std::setlocale(LC_NUMERIC, m_old.c_str()); }

private:
	std::string m_old;
};

} // namespace XMLTestSupport

#endif // XMLTestSupportH
