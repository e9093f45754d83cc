#include "Calovinda.h"

int main(int argc, char * argv[]) {
	return calovindaMain(argc, argv, ModelExchangeCVODE::Restart::AfterEveryEvent);
}
