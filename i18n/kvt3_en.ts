<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB">
<context>
    <name>BoxReadDialog</name>
    <message>
        <source>Odczyt konfiguracji</source>
        <translation>Reading the configuration</translation>
    </message>
    <message>
        <source>Odczyt konfiguracji z urządzenia…</source>
        <translation>Reading the configuration from the box…</translation>
    </message>
    <message>
        <source>Przerwij</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>ConfigCompare</name>
    <message>
        <source>%1 z %2 wierszy niezerowych</source>
        <translation>%1 of %2 rows not zero</translation>
    </message>
    <message>
        <source>rodzaj urządzenia</source>
        <translation>kind of box</translation>
    </message>
    <message>
        <source>kątowa</source>
        <translation>angular</translation>
    </message>
    <message>
        <source>liniowa</source>
        <translation>linear</translation>
    </message>
    <message>
        <source>kod rozdzielczości</source>
        <translation>resolution code</translation>
    </message>
    <message>
        <source>zliczenia (4 × impulsy)</source>
        <translation>counts (4 × pulses)</translation>
    </message>
    <message>
        <source>kalibracja</source>
        <translation>calibration</translation>
    </message>
    <message>
        <source>rodzaj osi</source>
        <translation>axis type</translation>
    </message>
    <message>
        <source>włączona</source>
        <translation>on</translation>
    </message>
    <message>
        <source>wyłączona</source>
        <translation>off</translation>
    </message>
    <message>
        <source>korekcja</source>
        <translation>correction</translation>
    </message>
    <message>
        <source>tabela korekcji</source>
        <translation>correction table</translation>
    </message>
    <message>
        <source>, różnych wierszy: %1</source>
        <translation>, rows that differ: %1</translation>
    </message>
    <message>
        <source>liczba wierszy korekcji</source>
        <translation>correction rows</translation>
    </message>
    <message>
        <source>pozostałe bity flag</source>
        <translation>other flag bits</translation>
    </message>
    <message>
        <source>pozostałe bity typów osi</source>
        <translation>other bits of the axis types</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>Paramtery</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>Zapisz</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Błąd przy nawiązaniu połączenia.</source>
        <translation>Error while connecting.</translation>
    </message>
    <message>
        <source>Parametry zostały wysłane.<byte value="xd"/>
Za 3 sekundy można kontynuować pomiar.</source>
        <translation>The parameters have been sent.<byte value="xd"/>
Measuring can go on in 3 seconds.</translation>
    </message>
    <message>
        <source>Parametry nie zostały wysłane.</source>
        <translation>The parameters have not been sent.</translation>
    </message>
</context>
<context>
    <name>ConfigFile</name>
    <message>
        <source>wiersz %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>niezamknięty nawias sekcji.</source>
        <translation>section bracket not closed.</translation>
    </message>
    <message>
        <source>niezrozumiały wiersz (oczekiwano „pole = wartość” albo „[sekcja]”).</source>
        <translation>line not understood (expected “field = value” or “[section]”).</translation>
    </message>
    <message>
        <source>pole przed pierwszą sekcją.</source>
        <translation>field before the first section.</translation>
    </message>
    <message>
        <source>pole %1 powtórzone.</source>
        <translation>field %1 repeated.</translation>
    </message>
    <message>
        <source>Plik jest niekompletny: w sekcji [%1] brak pola %2.</source>
        <translation>The file is incomplete: section [%1] lacks the field %2.</translation>
    </message>
    <message>
        <source>nieznane pole %1 w sekcji [%2].</source>
        <translation>unknown field %1 in section [%2].</translation>
    </message>
    <message>
        <source>To nie jest plik konfiguracji KVT 3: pierwszą sekcją powinna być [kvt3].</source>
        <translation>This is not a KVT 3 configuration file: its first section should be [kvt3].</translation>
    </message>
    <message>
        <source>po [kvt3] powinno być pole „format”.</source>
        <translation>[kvt3] should be followed by the field “format”.</translation>
    </message>
    <message>
        <source>niepoprawna wersja formatu.</source>
        <translation>invalid format version.</translation>
    </message>
    <message>
        <source>Plik zapisano w nowszej wersji formatu (%1); ten program zna wersję %2.</source>
        <translation>The file was written in a newer format version (%1); this program knows version %2.</translation>
    </message>
    <message>
        <source>tekst po [end].</source>
        <translation>text after [end].</translation>
    </message>
    <message>
        <source>Plik jest niekompletny: nie kończy się sekcją [end].</source>
        <translation>The file is incomplete: it does not end with the section [end].</translation>
    </message>
    <message>
        <source>oczekiwano liczby szesnastkowej, np. 0x00.</source>
        <translation>expected a hexadecimal number, e.g. 0x00.</translation>
    </message>
    <message>
        <source>nieznany rodzaj urządzenia %1 (znane: 1 do 4).</source>
        <translation>unknown device kind %1 (known: 1 to 4).</translation>
    </message>
    <message>
        <source>błędna wartość rozdzielczości dla osi %1.</source>
        <translation>invalid resolution for axis %1.</translation>
    </message>
    <message>
        <source>błędna liczba zliczeń na obrót dla osi %1.</source>
        <translation>invalid count per revolution for axis %1.</translation>
    </message>
    <message>
        <source>kalibracja ma więcej niż 6 miejsc po przecinku.</source>
        <translation>the calibration has more than 6 decimal places.</translation>
    </message>
    <message>
        <source>błędna wartość kalibracji dla osi %1.</source>
        <translation>invalid calibration for axis %1.</translation>
    </message>
    <message>
        <source>wartość kalibracji poza przedziałem dla osi %1.</source>
        <translation>calibration out of range for axis %1.</translation>
    </message>
    <message>
        <source>typ osi to „linear” albo „angular”.</source>
        <translation>the axis type is “linear” or “angular”.</translation>
    </message>
    <message>
        <source>urządzenie rodzaju 1 nie ma korekcji.</source>
        <translation>a kind 1 box has no correction.</translation>
    </message>
    <message>
        <source>korekcja to „on” albo „off”.</source>
        <translation>the correction is “on” or “off”.</translation>
    </message>
    <message>
        <source>liczba wierszy korekcji poza zakresem 0 do 255.</source>
        <translation>number of correction rows outside 0 to 255.</translation>
    </message>
    <message>
        <source>bity 0x70 to przełączniki korekcji, pola „correction” osi.</source>
        <translation>the bits 0x70 are the correction switches, the axes’ “correction” fields.</translation>
    </message>
    <message>
        <source>tablica %1 ma więcej wierszy, niż mówi pole „rows” (%2).</source>
        <translation>table %1 has more rows than the field “rows” says (%2).</translation>
    </message>
    <message>
        <source>oczekiwano wiersza %1 (tablica %2), a jest %3.</source>
        <translation>expected row %1 (table %2), found %3.</translation>
    </message>
    <message>
        <source>oczekiwano dwóch liczb całkowitych (położenie i korekta) w zakresie liczb urządzenia.</source>
        <translation>expected two whole numbers (position and correction) within the box’s range.</translation>
    </message>
    <message>
        <source>Plik jest niekompletny: tablica %1 ma %2 z %3 wierszy.</source>
        <translation>The file is incomplete: table %1 has %2 of %3 rows.</translation>
    </message>
    <message>
        <source>Plik jest niekompletny: brak sekcji [%1].</source>
        <translation>The file is incomplete: the section [%1] is missing.</translation>
    </message>
    <message>
        <source>nieznana sekcja [%1].</source>
        <translation>unknown section [%1].</translation>
    </message>
    <message>
        <source>sekcja [%1] powtórzona.</source>
        <translation>section [%1] repeated.</translation>
    </message>
    <message>
        <source>oczekiwano bajtu bez bitów 0x07, pól „type” osi.</source>
        <translation>expected a byte without the bits 0x07, the axes’ “type” fields.</translation>
    </message>
    <message>
        <source>urządzenie rodzaju 1 nie ma tablic korekcji.</source>
        <translation>a kind 1 box has no correction tables.</translation>
    </message>
    <message>
        <source>kalibracja osi %1 ma więcej niż sześć miejsc po przecinku, a plik przechowuje sześć. Popraw ją w oknie „Parametry” i zapisz konfigurację ponownie.</source>
        <translation>the calibration of axis %1 has more than six decimal places, and the file keeps six. Correct it in the “Parameters” window and save the configuration again.</translation>
    </message>
    <message>
        <source>Plik jest za duży na plik konfiguracji (ponad %1 bajtów).</source>
        <translation>The file is too large for a configuration file (over %1 bytes).</translation>
    </message>
    <message>
        <source>Plik jest konfiguracją urządzenia rodzaju %1, a podłączone jest urządzenie rodzaju %2.</source>
        <translation>The file is the configuration of a kind %1 box, and the box connected is of kind %2.</translation>
    </message>
    <message>
        <source>Nie można odczytać pliku konfiguracji: %1.</source>
        <translation>Cannot read the configuration file: %1.</translation>
    </message>
</context>
<context>
    <name>ConfigRead</name>
    <message>
        <source>Błąd przy nawiązaniu połączenia.</source>
        <translation>Error while connecting.</translation>
    </message>
    <message>
        <source>Nieznany typ urządzenia.</source>
        <translation>Unknown kind of box.</translation>
    </message>
    <message>
        <source>Błędna wartość parametru.</source>
        <translation>Wrong parameter value.</translation>
    </message>
    <message>
        <source>Urządzenie nie odpowiada.</source>
        <translation>The box does not answer.</translation>
    </message>
    <message>
        <source>Port %1 jest używany przez inny program.</source>
        <translation>Port %1 is in use by another program.</translation>
    </message>
</context>
<context>
    <name>ConfigRestore</name>
    <message>
        <source>%1 Nic nie zostało zapisane w urządzeniu.</source>
        <translation>%1 Nothing was written to the box.</translation>
    </message>
    <message>
        <source>%1 Urządzenie może mieć teraz część konfiguracji z pliku; powtórz odtwarzanie konfiguracji.</source>
        <translation>%1 The box may now hold part of the file&apos;s configuration; run the restore again.</translation>
    </message>
    <message>
        <source>Parametry nie zostały wysłane.</source>
        <translation>The parameters have not been sent.</translation>
    </message>
    <message>
        <source>Tabele korekcji nie zostały wysłane.</source>
        <translation>The correction tables have not been sent.</translation>
    </message>
    <message>
        <source>Konfiguracja została wysłana, ale jej odczyt kontrolny nie powiódł się: %1 Nie wiadomo, czy urządzenie ją przechowuje.</source>
        <translation>The configuration was sent, but reading it back failed: %1 Whether the box holds it is not known.</translation>
    </message>
    <message>
        <source>Konfiguracja z pliku została zapisana w urządzeniu i potwierdzona odczytem.</source>
        <translation>The file&apos;s configuration was written to the box and confirmed by reading it back.</translation>
    </message>
    <message>
        <source>%1%2 = %3 (w pliku %4)</source>
        <translation>%1%2 = %3 (in the file %4)</translation>
    </message>
    <message>
        <source>Urządzenie nie przechowuje konfiguracji z pliku. Odczytano inne wartości:</source>
        <translation>The box does not hold the file&apos;s configuration. Other values were read:</translation>
    </message>
    <message>
        <source>Urządzenie już przechowuje konfigurację z pliku; nic nie zostało zapisane.</source>
        <translation>The box already holds the configuration from the file; nothing was written.</translation>
    </message>
    <message>
        <source>Odtwarzanie konfiguracji przerwane.</source>
        <translation>Configuration restore interrupted.</translation>
    </message>
    <message>
        <source>Odtwarzanie konfiguracji przerwane przed końcem odczytu kontrolnego. Cała konfiguracja z pliku została wysłana do urządzenia, ale nie została potwierdzona odczytem; powtórz odtwarzanie konfiguracji.</source>
        <translation>Configuration restore interrupted before the end of the check read. The whole configuration from the file was sent to the box, but it was not confirmed by reading it back; restore the configuration again.</translation>
    </message>
    <message>
        <source>Odtwarzanie konfiguracji przerwane w czasie zapisu parametrów. Urządzenie może mieć teraz część parametrów z pliku, a resztę dawnych, i dawne tabele korekcji; powtórz odtwarzanie konfiguracji.</source>
        <translation>Configuration restore interrupted while writing the parameters. The box may now have some of the parameters from the file and the rest of its old ones, and its old correction tables; restore the configuration again.</translation>
    </message>
    <message>
        <source>Odtwarzanie konfiguracji przerwane w czasie zapisu tabel korekcji. Urządzenie ma parametry z pliku, a jego tabele korekcji mogą być zapisane tylko w części; powtórz odtwarzanie konfiguracji.</source>
        <translation>Configuration restore interrupted while writing the correction tables. The box has the parameters from the file, and its correction tables may be only partly written; restore the configuration again.</translation>
    </message>
    <message>
        <source>Odtwarzanie konfiguracji przerwane po zapisie parametrów. Urządzenie ma parametry z pliku, ale dawne tabele korekcji; powtórz odtwarzanie konfiguracji.</source>
        <translation>Configuration restore interrupted after writing the parameters. The box has the parameters from the file but its old correction tables; restore the configuration again.</translation>
    </message>
</context>
<context>
    <name>CorrectionCsv</name>
    <message>
        <source>wiersz %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>niezamknięty cudzysłów.</source>
        <translation>unclosed quotation mark.</translation>
    </message>
    <message>
        <source>tekst po zamykającym cudzysłowie.</source>
        <translation>text after the closing quotation mark.</translation>
    </message>
    <message>
        <source> w kolumnie 1 (położenie)</source>
        <translation> in column 1 (position)</translation>
    </message>
    <message>
        <source> w kolumnie 2</source>
        <translation> in column 2</translation>
    </message>
    <message>
        <source>niepoprawna wartość %1%2.</source>
        <translation>invalid value %1%2.</translation>
    </message>
    <message>
        <source>wartość %1%2 jest poza zakresem urządzenia.</source>
        <translation>value %1%2 is outside the box&apos;s range.</translation>
    </message>
    <message>
        <source>wartość %1%2 ma więcej miejsc po przecinku niż oś (%3).</source>
        <translation>value %1%2 has more decimal places than the axis (%3).</translation>
    </message>
    <message>
        <source>wartość %1%2 nie jest wielokrotnością kroku osi (%3).</source>
        <translation>value %1%2 is not a multiple of the axis&apos;s step (%3).</translation>
    </message>
    <message>
        <source>Plik CSV jest za duży (ponad %1 bajtów).</source>
        <translation>The CSV file is too large (over %1 bytes).</translation>
    </message>
    <message>
        <source>oczekiwano dwóch wartości (położenie i wartość po korekcji), a jest ich %1.</source>
        <translation>two values expected (position and corrected value), found %1.</translation>
    </message>
    <message>
        <source>więcej niż %1 wierszy: tyle mieści urządzenie.</source>
        <translation>more than %1 rows: that is what the box holds.</translation>
    </message>
    <message>
        <source>wartości położenia powinny rosnąć.</source>
        <translation>the position values should rise.</translation>
    </message>
    <message>
        <source>Plik CSV nie zawiera żadnego wiersza wartości.</source>
        <translation>The CSV file holds no row of values.</translation>
    </message>
    <message>
        <source>niepoprawna wartość %1%2: znak %3 nie należy do liczby.</source>
        <translation>invalid value %1%2: the character %3 is not part of a number.</translation>
    </message>
    <message>
        <source>oczekiwano dwóch wartości (położenie i wartość po korekcji), a jest jedna: wartości rozdziela się średnikiem, przecinkiem albo tabulatorem.</source>
        <translation>expected two values (position and corrected value), found one: values are separated by a semicolon, a comma or a tab.</translation>
    </message>
    <message>
        <source> Przy przecinku dziesiętnym wartości rozdziela się średnikiem.</source>
        <translation> With a decimal comma, values are separated by a semicolon.</translation>
    </message>
    <message>
        <source>Plik CSV nie zawiera żadnego wiersza wartości, tylko nagłówek (wiersz %1: %2).</source>
        <translation>The CSV file contains no row of values, only a header (line %1: %2).</translation>
    </message>
    <message>
        <source>Nie można odczytać pliku CSV: %1.</source>
        <translation>Cannot read the CSV file: %1.</translation>
    </message>
</context>
<context>
    <name>CorrectionCurve</name>
    <message>
        <source>Wykres korekcji</source>
        <translation>Correction curve</translation>
    </message>
    <message>
        <source>Korekcja (wartość po korekcji minus położenie) w funkcji położenia</source>
        <translation>Correction (corrected value minus position) against position</translation>
    </message>
    <message>
        <source>Brak wartości do wykreślenia.
Wpisz lub zaimportuj tabelę.</source>
        <translation>No values to plot.
Type or import a table.</translation>
    </message>
    <message>
        <source>położenie</source>
        <translation>position</translation>
    </message>
    <message>
        <source>korekcja</source>
        <translation>correction</translation>
    </message>
</context>
<context>
    <name>ErrorText</name>
    <message>
        <source>(błąd ramki)</source>
        <translation>(framing error)</translation>
    </message>
    <message>
        <source>(błąd portu drukarki)</source>
        <translation>(printer port error)</translation>
    </message>
    <message>
        <source>(błąd połączenia)</source>
        <translation>(connection error)</translation>
    </message>
    <message>
        <source>(błąd czytania gotowości)</source>
        <translation>(error reading readiness)</translation>
    </message>
    <message>
        <source>(błąd czytania kalibracji)</source>
        <translation>(error reading calibration)</translation>
    </message>
    <message>
        <source>(błąd czytania znaku)</source>
        <translation>(error reading a character)</translation>
    </message>
    <message>
        <source>(błąd czytania liczby błędów)</source>
        <translation>(error reading the error count)</translation>
    </message>
    <message>
        <source>(błąd czytania pozycji XY)</source>
        <translation>(error reading XY positions)</translation>
    </message>
    <message>
        <source>(błąd czytania rozdzielczości)</source>
        <translation>(error reading resolution)</translation>
    </message>
    <message>
        <source>(błąd czytania testu)</source>
        <translation>(error reading the test)</translation>
    </message>
    <message>
        <source>(błąd czytania akceptacji)</source>
        <translation>(error reading acknowledgement)</translation>
    </message>
    <message>
        <source>(błąd pisania znaku)</source>
        <translation>(error writing a character)</translation>
    </message>
    <message>
        <source>(błąd czytania ilości linii)</source>
        <translation>(error reading line counts)</translation>
    </message>
    <message>
        <source>(błąd czytania typu wymiarów)</source>
        <translation>(error reading dimension types)</translation>
    </message>
    <message>
        <source>(błąd czytania referencji)</source>
        <translation>(error reading the reference)</translation>
    </message>
    <message>
        <source>(błąd inny)</source>
        <translation>(other error)</translation>
    </message>
    <message>
        <source>(linia nie milknie)</source>
        <translation>(the line does not fall quiet)</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>to nie jest zwykły plik</source>
        <translation>not a regular file</translation>
    </message>
</context>
<context>
    <name>FullScreenReadout</name>
    <message>
        <source>Pełny ekran</source>
        <translation>Full screen</translation>
    </message>
</context>
<context>
    <name>LinkStatus</name>
    <message>
        <source>%1: łączenie z urządzeniem…</source>
        <translation>%1: connecting to the device…</translation>
    </message>
    <message>
        <source>%1: odczyty aktualne.</source>
        <translation>%1: readings current.</translation>
    </message>
    <message numerus="yes">
        <source>%1: brak odczytów od %n s.</source>
        <translation>
            <numerusform>%1: no readings for %n s.</numerusform>
            <numerusform>%1: no readings for %n s.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: urządzenie nie odpowiada od %n s, ponawiam co 1 s.</source>
        <translation>
            <numerusform>%1: the device has not answered for %n s; retrying every second.</numerusform>
            <numerusform>%1: the device has not answered for %n s; retrying every second.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: połączenie przerwane od %n s, ponawiam co 1 s.</source>
        <translation>
            <numerusform>%1: link lost for %n s; reopening every second.</numerusform>
            <numerusform>%1: link lost for %n s; reopening every second.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: nieznany typ urządzenia.</source>
        <translation>%1: unknown device kind.</translation>
    </message>
    <message>
        <source>Odczyty wstrzymane na czas okna konfiguracji.</source>
        <translation>Readings paused while a configuration window is open.</translation>
    </message>
    <message>
        <source>Przesunięcia wyzerowane przy starcie programu.</source>
        <translation>Offsets set to zero at program start.</translation>
    </message>
    <message>
        <source>Przesunięcia wyzerowane: połączenie było przerwane.</source>
        <translation>Offsets set to zero: the link was lost.</translation>
    </message>
    <message>
        <source>Przesunięcia wyzerowane: wybrano inny port.</source>
        <translation>Offsets set to zero: another port was chosen.</translation>
    </message>
    <message>
        <source>Przesunięcia wyzerowane: zmieniła się konfiguracja urządzenia.</source>
        <translation>Offsets set to zero: the device&apos;s configuration changed.</translation>
    </message>
    <message>
        <source>F5: spróbuj od razu. Cyfry szare to ostatni odczyt.</source>
        <translation>F5: try now. Grey figures are the last reading.</translation>
    </message>
    <message>
        <source>F5: uruchom łącze od nowa. Cyfry szare to ostatni odczyt.</source>
        <translation>F5: start the link anew. Grey figures are the last reading.</translation>
    </message>
    <message>
        <source>%1 prowadzi teraz do innego urządzenia (%2): nie otwieram go.</source>
        <translation>%1 now leads to another device (%2): not opening it.</translation>
    </message>
    <message>
        <source>Przesunięcia wyzerowane: zapisano konfigurację do urządzenia.</source>
        <translation>Offsets set to zero: a configuration was written to the device.</translation>
    </message>
    <message>
        <source>F5: połącz z nim. Cyfry szare to ostatni odczyt z poprzedniego.</source>
        <translation>F5: connect to it. Grey figures are the last reading of the previous one.</translation>
    </message>
</context>
<context>
    <name>Patterns</name>
    <message>
        <source>Wartości okręgu muszą być liczbami.</source>
        <translation>The circle&apos;s values must be numbers.</translation>
    </message>
    <message>
        <source>Liczba otworów musi wynosić co najmniej 1.</source>
        <translation>The number of holes must be at least 1.</translation>
    </message>
    <message>
        <source>Liczba otworów może wynosić najwyżej %1.</source>
        <translation>The number of holes can be at most %1.</translation>
    </message>
    <message>
        <source>Średnica okręgu musi być większa od zera.</source>
        <translation>The circle&apos;s diameter must be greater than zero.</translation>
    </message>
    <message>
        <source>Wartości szyku muszą być liczbami.</source>
        <translation>The pattern&apos;s values must be numbers.</translation>
    </message>
    <message>
        <source>Liczba otworów w rzędzie i liczba rzędów muszą wynosić co najmniej 1.</source>
        <translation>The holes in a row and the number of rows must be at least 1.</translation>
    </message>
    <message>
        <source>Szyk może mieć najwyżej %1 punktów.</source>
        <translation>A pattern can have at most %1 points.</translation>
    </message>
    <message>
        <source>Przy więcej niż jednym otworze odstęp nie może wynosić zero: otwory leżałyby jeden na drugim.</source>
        <translation>With more than one hole the spacing cannot be zero: the holes would lie on top of each other.</translation>
    </message>
</context>
<context>
    <name>Points</name>
    <message>
        <source>wiersz %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>nieznana oś %1: plik punktów może podawać tylko X, Y i Z.</source>
        <translation>unknown axis %1: a points file can only give X, Y and Z.</translation>
    </message>
    <message>
        <source>kolumna %1 nie podaje jednostki (np. „X [mm]”).</source>
        <translation>column %1 gives no unit (e.g. “X [mm]”).</translation>
    </message>
    <message>
        <source>milimetrach</source>
        <translation>millimetres</translation>
    </message>
    <message>
        <source>calach</source>
        <translation>inches</translation>
    </message>
    <message>
        <source>stopniach</source>
        <translation>degrees</translation>
    </message>
    <message>
        <source>kolumna %1: nieznana jednostka %2.</source>
        <translation>column %1: unknown unit %2.</translation>
    </message>
    <message>
        <source>oś %1 jest w pliku kątowa, a w urządzeniu liniowa.</source>
        <translation>axis %1 is angular in the file but linear on the box.</translation>
    </message>
    <message>
        <source>oś %1 jest w pliku liniowa, a w urządzeniu kątowa.</source>
        <translation>axis %1 is linear in the file but angular on the box.</translation>
    </message>
    <message>
        <source>oś %1 jest w pliku w %2, a program pokazuje wartości w %3: przełącz jednostki i wczytaj plik ponownie.</source>
        <translation>axis %1 is in %2 in the file, but the program shows %3: switch the units and import the file again.</translation>
    </message>
    <message>
        <source>oś kątowa %1 nie może być średnicą.</source>
        <translation>angular axis %1 cannot be a diameter.</translation>
    </message>
    <message>
        <source>Plik punktów jest za duży (ponad %1 bajtów).</source>
        <translation>The points file is too large (over %1 bytes).</translation>
    </message>
    <message>
        <source>brak nagłówka z osiami i jednostkami, np. „nazwa;X [mm];Y [mm];Z [mm]”.</source>
        <translation>no header with the axes and units, e.g. “name;X [mm];Y [mm];Z [mm]”.</translation>
    </message>
    <message>
        <source>oś %1 podana dwa razy.</source>
        <translation>axis %1 given twice.</translation>
    </message>
    <message>
        <source>więcej wartości (%1) niż kolumn w nagłówku (%2).</source>
        <translation>more values (%1) than columns in the header (%2).</translation>
    </message>
    <message>
        <source>więcej niż %1 punktów.</source>
        <translation>more than %1 points.</translation>
    </message>
    <message>
        <source>niepoprawna wartość %1 w kolumnie %2.</source>
        <translation>invalid value %1 in column %2.</translation>
    </message>
    <message>
        <source>Plik punktów jest pusty.</source>
        <translation>The points file is empty.</translation>
    </message>
</context>
<context>
    <name>PortHints</name>
    <message>
        <source>Brak urządzenia</source>
        <translation>No device</translation>
    </message>
</context>
<context>
    <name>RestoreDialog</name>
    <message>
        <source>Sprawdzanie urządzenia…</source>
        <translation>Checking the box…</translation>
    </message>
    <message>
        <source>Zapisywanie parametrów…</source>
        <translation>Writing the parameters…</translation>
    </message>
    <message>
        <source>Zapisywanie tabel korekcji…</source>
        <translation>Writing the correction tables…</translation>
    </message>
    <message>
        <source>Odczyt kontrolny…</source>
        <translation>Reading back…</translation>
    </message>
    <message>
        <source>Odtwarzanie konfiguracji</source>
        <translation>Restoring the configuration</translation>
    </message>
    <message>
        <source>Oś</source>
        <translation>Axis</translation>
    </message>
    <message>
        <source>Wartość</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>W urządzeniu</source>
        <translation>In the box</translation>
    </message>
    <message>
        <source>Z pliku</source>
        <translation>From the file</translation>
    </message>
    <message>
        <source>Zmiana</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Porównanie urządzenia z plikiem</source>
        <translation>The box compared with the file</translation>
    </message>
    <message>
        <source>Zapisz do urządzenia</source>
        <translation>Write to the box</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>zmiana</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>bez zmian</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>Plik %1 względem konfiguracji odczytanej z urządzenia: %2.</source>
        <translation>The file %1 against the configuration read from the box: %2.</translation>
    </message>
    <message>
        <source>zmienionych wartości: %1</source>
        <translation>values changed: %1</translation>
    </message>
    <message>
        <source>Nic nie zostało jeszcze zapisane w urządzeniu.</source>
        <translation>Nothing has been written to the box yet.</translation>
    </message>
    <message>
        <source>Plik %1.</source>
        <translation>File %1.</translation>
    </message>
    <message>
        <source>Odczyt konfiguracji z urządzenia…</source>
        <translation>Reading the configuration from the box…</translation>
    </message>
    <message>
        <source>Konfiguracji urządzenia nie odczytano: %1 Nic nie zostało zapisane w urządzeniu.</source>
        <translation>The box&apos;s configuration was not read: %1 Nothing was written to the box.</translation>
    </message>
    <message>
        <source>Pliku nie można odtworzyć: %1 Nic nie zostało zapisane w urządzeniu.</source>
        <translation>The file cannot be restored: %1 Nothing was written to the box.</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Nieznany wyjątek.</source>
        <translation>Unknown exception.</translation>
    </message>
</context>
<context>
    <name>TbreakForm</name>
    <message>
        <source>Informacja</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>23::Przerwa w transmisji<byte value="xd"/>
Chcesz przerwać czekanie?</source>
        <translation>23::Transmission break<byte value="xd"/>
Stop waiting?</translation>
    </message>
    <message>
        <source>TAK</source>
        <translation>YES</translation>
    </message>
</context>
<context>
    <name>TcoordForm</name>
    <message>
        <source>Nie wczytano pliku CSV.<byte value="xd"/>
%1</source>
        <translation>The CSV file was not loaded.<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Niepoprawna wartość.</source>
        <translation>Invalid value.</translation>
    </message>
    <message>
        <source>Niepoprawna poprzednia wartość.</source>
        <translation>Invalid previous value.</translation>
    </message>
    <message>
        <source>Wartości powinny rosnąć.</source>
        <translation>The values should rise.</translation>
    </message>
    <message>
        <source>Niewłaściwa wartość dla osi %1%2 na pozycji %3</source>
        <translation>Wrong value for axis %1%2 at position %3</translation>
    </message>
    <message>
        <source>      Kor.odcinkowa %1</source>
        <translation>      Segment corr. %1</translation>
    </message>
    <message>
        <source>Kor.odcinkowa %1</source>
        <translation>Segment corr. %1</translation>
    </message>
    <message>
        <source>UWAGA !</source>
        <translation>NOTE!</translation>
    </message>
    <message>
        <source>Wartości X, Y, Z muszą być rosnące<byte value="xd"/>
Wartości X&apos;, Y&apos;, Z&apos; mogą być dowolne</source>
        <translation>X, Y, Z values must be rising<byte value="xd"/>
X&apos;, Y&apos;, Z&apos; values may be anything</translation>
    </message>
    <message>
        <source>Importuj z CSV…</source>
        <translation>Import CSV…</translation>
    </message>
    <message>
        <source>Eksportuj do CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>Pliki CSV (*.csv);;Wszystkie pliki (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>Eksportuj do CSV</source>
        <translation>Export to CSV</translation>
    </message>
    <message>
        <source>Importuj z CSV</source>
        <translation>Import from CSV</translation>
    </message>
    <message>
        <source>Lp.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Urządzenie rodzaju 1 nie ma tabel korekcji.</source>
        <translation>A kind 1 box has no correction tables.</translation>
    </message>
    <message>
        <source>Rodzaj urządzenia nieznany: tabele korekcji nie zostały odczytane.</source>
        <translation>Unknown kind of box: the correction tables were not read.</translation>
    </message>
    <message>
        <source>Urządzenie rodzaju 1 nie ma tabel korekcji, więc nie zostały zapisane.<byte value="xd"/>
Za 3 sekundy można kontynuować pomiar.</source>
        <translation>A kind 1 box has no correction tables, so they were not saved.<byte value="xd"/>
Measuring can go on in 3 seconds.</translation>
    </message>
    <message>
        <source>Rodzaj urządzenia nieznany: tabele korekcji nie zostały zapisane.<byte value="xd"/>
Za 3 sekundy można kontynuować pomiar.</source>
        <translation>Unknown kind of box: the correction tables were not saved.<byte value="xd"/>
Measuring can go on in 3 seconds.</translation>
    </message>
    <message>
        <source>Nie udało się zapisać pliku CSV: %1.</source>
        <translation>Could not write the CSV file: %1.</translation>
    </message>
</context>
<context>
    <name>ThelpForm</name>
    <message>
        <source>Pomoc</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Nie można otworzyć pliku %1.</source>
        <translation>Cannot open the file %1.</translation>
    </message>
    <message>
        <source>Błąd odczytu pliku %1.</source>
        <translation>Error reading the file %1.</translation>
    </message>
</context>
<context>
    <name>TlogoForm</name>
    <message>
        <source>O Autorach</source>
        <translation>About the Authors</translation>
    </message>
    <message>
        <source>tel. (00) 000 00 00</source>
        <translation>phone (00) 000 00 00</translation>
    </message>
    <message>
        <source>fax (00) 000 00 01</source>
        <translation>fax (00) 000 00 01</translation>
    </message>
    <message>
        <source>tel. kom. 000 000 000</source>
        <translation>mobile 000 000 000</translation>
    </message>
    <message>
        <source>Zapraszamy do kontaktu:
biuro@pracownia.example</source>
        <translation>Get in touch:
biuro@pracownia.example</translation>
    </message>
    <message>
        <source>Wersja 2.1</source>
        <translation>Version 2.1</translation>
    </message>
</context>
<context>
    <name>TmainForm</name>
    <message>
        <source>Zapisz konfigurację urządzenia</source>
        <translation>Save the box&apos;s configuration</translation>
    </message>
    <message>
        <source>kvt3-konfiguracja.ini</source>
        <translation>kvt3-configuration.ini</translation>
    </message>
    <message>
        <source>Konfiguracja KVT 3 (*.ini);;Wszystkie pliki (*)</source>
        <translation>KVT 3 configuration (*.ini);;All files (*)</translation>
    </message>
    <message>
        <source>Konfiguracja urządzenia nie została jeszcze odczytana. Najpierw wykonaj test łącza RS.</source>
        <translation>The box&apos;s configuration has not been read yet. Run the RS link test first.</translation>
    </message>
    <message>
        <source>Konfiguracji urządzenia nie można zapisać: %1</source>
        <translation>The box&apos;s configuration cannot be saved: %1</translation>
    </message>
    <message>
        <source>Konfigurację urządzenia zapisano w pliku %1.</source>
        <translation>The box&apos;s configuration was saved in the file %1.</translation>
    </message>
    <message>
        <source>Oś %1</source>
        <translation>Axis %1</translation>
    </message>
    <message>
        <source>%1, odczyt nieaktualny</source>
        <translation>%1, reading not current</translation>
    </message>
    <message>
        <source>absolutne</source>
        <translation>absolute</translation>
    </message>
    <message>
        <source>relatywne</source>
        <translation>relative</translation>
    </message>
    <message>
        <source>Przesunięcie</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Odtwórz konfigurację urządzenia</source>
        <translation>Restore the box&apos;s configuration</translation>
    </message>
    <message>
        <source>Pliku %1 nie można odtworzyć: %2 Nic nie zostało zapisane w urządzeniu.</source>
        <translation>The file %1 cannot be restored: %2 Nothing was written to the box.</translation>
    </message>
    <message>
        <source>&amp;Konfiguracja</source>
        <translation>&amp;Configuration</translation>
    </message>
    <message>
        <source>&amp;Test łącza RS</source>
        <translation>RS link &amp;test</translation>
    </message>
    <message>
        <source>&amp;Parametry</source>
        <translation>&amp;Parameters</translation>
    </message>
    <message>
        <source>&amp;Koordynaty</source>
        <translation>&amp;Corrections</translation>
    </message>
    <message>
        <source>&amp;Zapisz konfigurację do pliku…</source>
        <translation>&amp;Save configuration to file…</translation>
    </message>
    <message>
        <source>&amp;Odtwórz konfigurację z pliku…</source>
        <translation>&amp;Restore configuration from file…</translation>
    </message>
    <message>
        <source>Podgląd w &amp;sieci…</source>
        <translation>&amp;Network view…</translation>
    </message>
    <message>
        <source>&amp;Plik</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Wyjscie</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Informacje</source>
        <translation>&amp;Info</translation>
    </message>
    <message>
        <source>O &amp;produkcie</source>
        <translation>About the &amp;product</translation>
    </message>
    <message>
        <source>O &amp;autorze</source>
        <translation>About the &amp;author</translation>
    </message>
    <message>
        <source>Stan połączenia</source>
        <translation>Link state</translation>
    </message>
    <message>
        <source>Urządzenie nie odpowiada</source>
        <translation>The device does not answer</translation>
    </message>
    <message>
        <source>W programie otwarto okno – odczyty wstrzymane</source>
        <translation>A window was opened in the program – readings paused</translation>
    </message>
    <message>
        <source>Brak połączenia z urządzeniem</source>
        <translation>No link to the device</translation>
    </message>
    <message>
        <source>Brak aktualnych odczytów z urządzenia</source>
        <translation>No current readings from the device</translation>
    </message>
    <message>
        <source>Konfiguracji urządzenia nie odczytano: %1 Plik nie został zapisany.</source>
        <translation>The box&apos;s configuration was not read: %1 The file was not written.</translation>
    </message>
    <message>
        <source>Nie udało się zapisać pliku %1: %2.</source>
        <translation>Could not write the file %1: %2.</translation>
    </message>
    <message>
        <source>Program został zamknięty</source>
        <translation>The program has been closed</translation>
    </message>
    <message>
        <source>Połowa %1</source>
        <translation>Half %1</translation>
    </message>
    <message>
        <source>Połowa: odczyt względny osi %1 dzielony przez 2 (środek między krawędziami)</source>
        <translation>Half: the relative reading of axis %1 divided by 2 (the centre between the edges)</translation>
    </message>
    <message>
        <source>Punkty…</source>
        <translation>Points…</translation>
    </message>
    <message>
        <source>Lista punktów, szablony otworów, import i eksport CSV (F6)</source>
        <translation>Point list, hole patterns, CSV import and export (F6)</translation>
    </message>
    <message>
        <source>Poprzedni punkt</source>
        <translation>Previous point</translation>
    </message>
    <message>
        <source>Następny punkt</source>
        <translation>Next point</translation>
    </message>
    <message>
        <source>Poprzedni punkt (F7)</source>
        <translation>Previous point (F7)</translation>
    </message>
    <message>
        <source>Następny punkt (F8)</source>
        <translation>Next point (F8)</translation>
    </message>
    <message>
        <source>&amp;Warsztat</source>
        <translation>&amp;Workshop</translation>
    </message>
    <message>
        <source>&amp;Milimetry</source>
        <translation>&amp;Millimetres</translation>
    </message>
    <message>
        <source>&amp;Cale</source>
        <translation>&amp;Inches</translation>
    </message>
    <message>
        <source>Kąty w stopniach, minutach, &amp;sekundach</source>
        <translation>Angles in degrees, minutes, &amp;seconds</translation>
    </message>
    <message>
        <source>Kąty w stopniach &amp;dziesiętnych</source>
        <translation>Angles in &amp;decimal degrees</translation>
    </message>
    <message>
        <source>Średnica %1</source>
        <translation>Diameter %1</translation>
    </message>
    <message>
        <source>&amp;Punkty…</source>
        <translation>&amp;Points…</translation>
    </message>
    <message>
        <source>P&amp;oprzedni punkt</source>
        <translation>P&amp;revious point</translation>
    </message>
    <message>
        <source>&amp;Następny punkt</source>
        <translation>&amp;Next point</translation>
    </message>
    <message>
        <source>&amp;Bez punktu</source>
        <translation>No &amp;point</translation>
    </message>
    <message>
        <source>Jednostka: cale (przełącz na mm)</source>
        <translation>Unit: inches (switch to mm)</translation>
    </message>
    <message>
        <source>Jednostka: milimetry (przełącz na cale)</source>
        <translation>Unit: millimetres (switch to inches)</translation>
    </message>
    <message numerus="yes">
        <source>Bez punktu (%n w liście)</source>
        <translation>
            <numerusform>No point (%n in the list)</numerusform>
            <numerusform>No point (%n in the list)</numerusform>
        </translation>
    </message>
    <message>
        <source>Brak punktów</source>
        <translation>No points</translation>
    </message>
    <message>
        <source>Do punktu %1/%2:
%3</source>
        <translation>To point %1/%2:
%3</translation>
    </message>
    <message>
        <source>, średnica</source>
        <translation>, diameter</translation>
    </message>
    <message>
        <source>, droga do punktu %1</source>
        <translation>, distance to point %1</translation>
    </message>
    <message>
        <source>, blisko zera</source>
        <translation>, near zero</translation>
    </message>
    <message>
        <source>Plik punktów nie został wczytany: %1</source>
        <translation>The points file was not read: %1</translation>
    </message>
    <message>
        <source>Nagrywanie odczytów</source>
        <translation>Recording the readings</translation>
    </message>
    <message>
        <source>Pliki CSV (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Nie można nagrywać do %1: %2</source>
        <translation>Cannot record to %1: %2</translation>
    </message>
    <message>
        <source>Broker &amp;MQTT…</source>
        <translation>&amp;MQTT broker…</translation>
    </message>
    <message>
        <source>Stan łą&amp;cza…</source>
        <translation>&amp;Link health…</translation>
    </message>
    <message>
        <source>&amp;Nagrywanie odczytów…</source>
        <translation>&amp;Record the readings…</translation>
    </message>
    <message>
        <source>Nagrywanie odczytów do %1</source>
        <translation>Recording the readings to %1</translation>
    </message>
    <message>
        <source>Widok z &amp;góry…</source>
        <translation>&amp;Top view…</translation>
    </message>
    <message>
        <source>Plik punktów odrzucony</source>
        <translation>Points file refused</translation>
    </message>
    <message>
        <source>Widok z góry X–Y</source>
        <translation>Top view X–Y</translation>
    </message>
    <message>
        <source>X lub Y jest osią kątową: widok z góry pokazuje tylko osie liniowe.</source>
        <translation>X or Y is an angular axis: the top view shows linear axes only.</translation>
    </message>
    <message>
        <source>&amp;Wykresy odczytów…</source>
        <translation>Live c&amp;urves…</translation>
    </message>
</context>
<context>
    <name>TparamsForm</name>
    <message>
        <source>Błędna wartość rozdzielczości dla osi %1</source>
        <translation>Wrong resolution value for axis %1</translation>
    </message>
    <message>
        <source>Błędna wartość ilości impulsów dla osi %1</source>
        <translation>Wrong pulse count for axis %1</translation>
    </message>
    <message>
        <source>Błędna wartość kalibracji dla osi %1</source>
        <translation>Wrong calibration value for axis %1</translation>
    </message>
    <message>
        <source>Wartość kalibracji poza przedziałem dla osi %1</source>
        <translation>Calibration value out of range for axis %1</translation>
    </message>
    <message>
        <source>Orientacje</source>
        <translation>Orientations</translation>
    </message>
    <message>
        <source> Oś %1 </source>
        <translation> Axis %1 </translation>
    </message>
    <message>
        <source>Orienacja liniowa</source>
        <translation>Linear orientation</translation>
    </message>
    <message>
        <source>Orientacja katowa</source>
        <translation>Angular orientation</translation>
    </message>
    <message>
        <source>Rodzielczosc</source>
        <translation>Resolution</translation>
    </message>
    <message>
        <source>Liczba impulsów</source>
        <translation>Pulse count</translation>
    </message>
    <message>
        <source>Kalibracja</source>
        <translation>Calibration</translation>
    </message>
</context>
<context>
    <name>ViewPage</name>
    <message>
        <source>Otwarto zbyt wiele podglądów naraz (najwięcej %1)</source>
        <translation>Too many views are open at once (at most %1)</translation>
    </message>
    <message>
        <source>pl</source>
        <translation>en</translation>
    </message>
    <message>
        <source>KVT 3 – odczyt</source>
        <translation>KVT 3 – readout</translation>
    </message>
    <message>
        <source>Łączenie z programem…</source>
        <translation>Connecting to the program…</translation>
    </message>
    <message>
        <source>Odczyt bieżący</source>
        <translation>Current reading</translation>
    </message>
    <message>
        <source>Odczyt opóźniony – czekam na bieżący</source>
        <translation>Reading delayed – waiting for a current one</translation>
    </message>
    <message>
        <source>Odczyt nieaktualny</source>
        <translation>Reading not current</translation>
    </message>
    <message>
        <source>Brak połączenia z programem</source>
        <translation>No connection to the program</translation>
    </message>
    <message>
        <source>Ten adres jest już nieważny: utworzono nowy klucz dostępu. Zeskanuj nowy kod QR lub otwórz nowy adres podglądu.</source>
        <translation>This address is no longer valid: a new access key was made. Scan the new QR code or open the new address of the view.</translation>
    </message>
    <message>
        <source>Podgląd chwilowo przeciążony – ponawiam</source>
        <translation>The view is busy for the moment – trying again</translation>
    </message>
    <message>
        <source>Oś %1</source>
        <translation>Axis %1</translation>
    </message>
</context>
<context>
    <name>ViewServer</name>
    <message>
        <source>port jest już zajęty przez inny program</source>
        <translation>the port is already taken by another program</translation>
    </message>
    <message>
        <source>brak uprawnień do tego portu (porty poniżej 1024 wymagają uprawnień administratora)</source>
        <translation>no permission for this port (ports below 1024 need administrator rights)</translation>
    </message>
    <message>
        <source>ten adres nie należy do tego komputera</source>
        <translation>this address does not belong to this computer</translation>
    </message>
    <message>
        <source>błąd sieci (%1)</source>
        <translation>network error (%1)</translation>
    </message>
    <message>
        <source>Brak nowych odczytów z urządzenia</source>
        <translation>No new readings from the device</translation>
    </message>
</context>
<context>
    <name>curves::CurvesWindow</name>
    <message>
        <source>Wykresy odczytów</source>
        <translation>Live curves</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>&amp;Okno czasu:</source>
        <translation>&amp;Time span:</translation>
    </message>
    <message>
        <source>Okno czasu</source>
        <translation>Time span</translation>
    </message>
    <message>
        <source>Oś %1</source>
        <translation>Axis %1</translation>
    </message>
    <message>
        <source>błędna odpowiedź</source>
        <translation>invalid reply</translation>
    </message>
    <message>
        <source>utrata łącza</source>
        <translation>link lost</translation>
    </message>
    <message>
        <source>szukanie znacznika</source>
        <translation>reference search</translation>
    </message>
    <message>
        <source>odczyty wstrzymane</source>
        <translation>readings stopped</translation>
    </message>
</context>
<context>
    <name>mqtt::BrokerDialog</name>
    <message>
        <source>Broker MQTT</source>
        <translation>MQTT broker</translation>
    </message>
    <message>
        <source>&amp;Publikuj odczyty do brokera MQTT</source>
        <translation>&amp;Publish the readings to an MQTT broker</translation>
    </message>
    <message>
        <source>Adres brokera</source>
        <translation>Broker address</translation>
    </message>
    <message>
        <source>certyfikaty systemu</source>
        <translation>the system&apos;s certificates</translation>
    </message>
    <message>
        <source>Plik CA dla mqtts</source>
        <translation>CA file for mqtts</translation>
    </message>
    <message>
        <source>Użytkownik</source>
        <translation>User</translation>
    </message>
    <message>
        <source>bez zmian</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>Hasło</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Najwyżej wiadomości na sekundę</source>
        <translation>Messages a second at most</translation>
    </message>
    <message>
        <source>Zastosuj</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>&amp;Adres brokera:</source>
        <translation>Broker &amp;address:</translation>
    </message>
    <message>
        <source>Plik &amp;CA (mqtts):</source>
        <translation>&amp;CA file (mqtts):</translation>
    </message>
    <message>
        <source>&amp;Użytkownik:</source>
        <translation>&amp;User:</translation>
    </message>
    <message>
        <source>&amp;Hasło:</source>
        <translation>Pass&amp;word:</translation>
    </message>
    <message>
        <source>&amp;Najwyżej wiadomości na sekundę:</source>
        <translation>&amp;Messages a second at most:</translation>
    </message>
    <message>
        <source>Nieprawidłowy adres brokera: oczekiwano mqtt://HOST[:PORT]/PREFIKS lub mqtts://HOST[:PORT]/PREFIKS</source>
        <translation>Invalid broker address: expected mqtt://HOST[:PORT]/PREFIX or mqtts://HOST[:PORT]/PREFIX</translation>
    </message>
    <message>
        <source>Nie można zapisać pliku logowania %1</source>
        <translation>Cannot write the login file %1</translation>
    </message>
    <message>
        <source>Nie można zapisać wyboru w pliku %1</source>
        <translation>Cannot keep the choice in the file %1</translation>
    </message>
</context>
<context>
    <name>mqtt::ReadingsOut</name>
    <message>
        <source>plik logowania %1: %2</source>
        <translation>login file %1: %2</translation>
    </message>
    <message>
        <source>Łączenie z brokerem %1…</source>
        <translation>Connecting to the broker %1…</translation>
    </message>
    <message>
        <source>Połączono z brokerem %1: odczyty są publikowane</source>
        <translation>Connected to the broker %1: the readings are published</translation>
    </message>
    <message>
        <source>Broker %1 odmówił połączenia (%2); ponowna próba co 10 s</source>
        <translation>The broker %1 refused the connection (%2); trying again every 10 s</translation>
    </message>
    <message>
        <source>Brak połączenia z brokerem %1 (%2); ponowne próby: %3</source>
        <translation>No connection to the broker %1 (%2); attempts: %3</translation>
    </message>
    <message>
        <source>MQTT: broker odmawia połączenia</source>
        <translation>MQTT: the broker refuses the connection</translation>
    </message>
    <message>
        <source>MQTT: brak połączenia z brokerem</source>
        <translation>MQTT: no connection to the broker</translation>
    </message>
    <message>
        <source>MQTT: %1</source>
        <translation>MQTT: %1</translation>
    </message>
</context>
<context>
    <name>readout::HealthWindow</name>
    <message>
        <source>Stan łącza</source>
        <translation>Link health</translation>
    </message>
    <message>
        <source>od startu</source>
        <translation>since start</translation>
    </message>
    <message>
        <source>ostatnia minuta</source>
        <translation>last minute</translation>
    </message>
    <message>
        <source>Odczyty na sekundę</source>
        <translation>Readings a second</translation>
    </message>
    <message>
        <source>Odczyty</source>
        <translation>Readings</translation>
    </message>
    <message>
        <source>Błędne odpowiedzi</source>
        <translation>Invalid replies</translation>
    </message>
    <message>
        <source>Powtórzone zapytania</source>
        <translation>Repeated requests</translation>
    </message>
    <message>
        <source>Błędy parzystości</source>
        <translation>Parity errors</translation>
    </message>
    <message>
        <source>Błędy ramki</source>
        <translation>Framing errors</translation>
    </message>
    <message>
        <source>Przepełnienia</source>
        <translation>Overruns</translation>
    </message>
    <message>
        <source>Utraty łącza</source>
        <translation>Link losses</translation>
    </message>
</context>
<context>
    <name>recording::Recorder</name>
    <message>
        <source>Nagrywanie zatrzymane: %1</source>
        <translation>Recording stopped: %1</translation>
    </message>
    <message>
        <source>Nagrywanie zatrzymane: zapis na dysk nie nadąża</source>
        <translation>Recording stopped: the disk does not keep up</translation>
    </message>
</context>
<context>
    <name>texts</name>
    <message>
        <source>Urządzenie niedostępne %1.</source>
        <translation>Device unavailable %1.</translation>
    </message>
    <message>
        <source>Błąd przy nawiązaniu połączenia.</source>
        <translation>Error while connecting.</translation>
    </message>
    <message>
        <source>Urządzenie niedostępne.
<byte value="xd"/>Chcesz przerwać czekanie?</source>
        <translation>Device unavailable.
<byte value="xd"/>Stop waiting?</translation>
    </message>
    <message>
        <source>Test przeprowadzony pomyślnie.</source>
        <translation>Test completed successfully.</translation>
    </message>
    <message>
        <source>Błędna wartość parametru.</source>
        <translation>Wrong parameter value.</translation>
    </message>
    <message>
        <source>Przerwa w transmisji referencji.</source>
        <translation>Break in the reference transmission.</translation>
    </message>
    <message>
        <source>Zła wartość przesunięcia.</source>
        <translation>Wrong offset value.</translation>
    </message>
    <message>
        <source>Wartość minut musi być dwucyfrowa.</source>
        <translation>The minutes must have two digits.</translation>
    </message>
    <message>
        <source>Wartość sekund musi być dwucyfrowa.</source>
        <translation>The seconds must have two digits.</translation>
    </message>
    <message>
        <source>Przekroczona wartość stopni.</source>
        <translation>Degrees value exceeded.</translation>
    </message>
    <message>
        <source>Przekroczona wartość minut.</source>
        <translation>Minutes value exceeded.</translation>
    </message>
    <message>
        <source>Przekroczona wartość sekund.</source>
        <translation>Seconds value exceeded.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>Nieznany typ urządzenia.</source>
        <translation>Unknown kind of box.</translation>
    </message>
    <message>
        <source>Odczyt nie jest aktualny (cyfry szare), więc przesunięcia nie można teraz ustawić. Poczekaj na bieżący odczyt (cyfry zielone).</source>
        <translation>The reading is not current (grey figures), so the offset cannot be set now. Wait for a current reading (green figures).</translation>
    </message>
    <message>
        <source>Odczyt nie jest aktualny (cyfry szare), więc szukania znacznika referencyjnego nie można teraz rozpocząć. Poczekaj na bieżący odczyt (cyfry zielone).</source>
        <translation>The reading is not current (grey figures), so a reference mark search cannot be started now. Wait for a current reading (green figures).</translation>
    </message>
</context>
<context>
    <name>web::LiveView</name>
    <message>
        <source>nieprawidłowy adres %1</source>
        <translation>invalid address %1</translation>
    </message>
    <message>
        <source>Podgląd w sieci został wyłączony lub przeniesiony</source>
        <translation>The network view has been turned off or moved</translation>
    </message>
    <message>
        <source>Program został zamknięty</source>
        <translation>The program has been closed</translation>
    </message>
</context>
<context>
    <name>web::ViewDialog</name>
    <message>
        <source>Podgląd w sieci</source>
        <translation>Network view</translation>
    </message>
    <message>
        <source>Udostępniaj odczyty w sieci</source>
        <translation>Share the readings on the network</translation>
    </message>
    <message>
        <source>&amp;Adres nasłuchu:</source>
        <translation>&amp;Listen on:</translation>
    </message>
    <message>
        <source>Adres nasłuchu</source>
        <translation>Listen on</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Port:</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Adres do &amp;otwarcia:</source>
        <translation>Address to &amp;open:</translation>
    </message>
    <message>
        <source>podgląd wyłączony</source>
        <translation>view off</translation>
    </message>
    <message>
        <source>Adres do otwarcia w przeglądarce</source>
        <translation>Address to open in a browser</translation>
    </message>
    <message>
        <source>Kod QR adresu do otwarcia</source>
        <translation>QR code of the address to open</translation>
    </message>
    <message>
        <source>Nowy klucz dostępu</source>
        <translation>New access key</translation>
    </message>
    <message>
        <source>Zmienia adres; strony otwarte ze starym przestają działać</source>
        <translation>Changes the address; pages opened with the old one stop working</translation>
    </message>
    <message>
        <source>Każdy w sieci, kto zna ten adres, widzi odczyty, ale niczego nie może zmienić. Nowy klucz dostępu zmienia adres: strony otwarte ze starym przestają działać.</source>
        <translation>Anyone on the network who knows this address sees the readings but cannot change anything. A new access key changes the address: pages opened with the old one stop working.</translation>
    </message>
    <message>
        <source>Zastosuj</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Wszystkie adresy</source>
        <translation>All addresses</translation>
    </message>
    <message>
        <source>Kod QR pojawi się, gdy podgląd działa.</source>
        <translation>The QR code appears when the view is on.</translation>
    </message>
    <message>
        <source>Nie można nasłuchiwać: %1</source>
        <translation>Cannot listen: %1</translation>
    </message>
    <message>
        <source>serwer nie działa</source>
        <translation>the server is not running</translation>
    </message>
</context>
<context>
    <name>workshop::PatternDialog</name>
    <message>
        <source>Okrąg otworów</source>
        <translation>Bolt-hole circle</translation>
    </message>
    <message>
        <source>Rząd lub siatka otworów</source>
        <translation>Row or grid of holes</translation>
    </message>
    <message>
        <source>Otwór</source>
        <translation>Hole</translation>
    </message>
    <message>
        <source>Punkt</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>&amp;zgodnie z ruchem wskazówek zegara</source>
        <translation>&amp;clockwise</translation>
    </message>
    <message>
        <source>&amp;Nazwa</source>
        <translation>&amp;Name</translation>
    </message>
    <message>
        <source>Środek &amp;X [%1]</source>
        <translation>Centre &amp;X [%1]</translation>
    </message>
    <message>
        <source>Początek &amp;X [%1]</source>
        <translation>Start &amp;X [%1]</translation>
    </message>
    <message>
        <source>Środek &amp;Y [%1]</source>
        <translation>Centre &amp;Y [%1]</translation>
    </message>
    <message>
        <source>Początek &amp;Y [%1]</source>
        <translation>Start &amp;Y [%1]</translation>
    </message>
    <message>
        <source>Ś&amp;rednica [%1]</source>
        <translation>&amp;Diameter [%1]</translation>
    </message>
    <message>
        <source>&amp;Liczba otworów</source>
        <translation>Number of &amp;holes</translation>
    </message>
    <message>
        <source>Kąt &amp;początkowy [°]</source>
        <translation>&amp;Start angle [°]</translation>
    </message>
    <message>
        <source>&amp;Odstęp w rzędzie [%1]</source>
        <translation>&amp;Spacing in a row [%1]</translation>
    </message>
    <message>
        <source>&amp;Liczba w rzędzie</source>
        <translation>&amp;Holes in a row</translation>
    </message>
    <message>
        <source>Odstęp &amp;między rzędami [%1]</source>
        <translation>Spacing &amp;between rows [%1]</translation>
    </message>
    <message>
        <source>Liczba &amp;rzędów</source>
        <translation>Number of &amp;rows</translation>
    </message>
    <message>
        <source>Kąt &amp;rzędu [°]</source>
        <translation>Row &amp;angle [°]</translation>
    </message>
    <message>
        <source>Dodaj punkty</source>
        <translation>Add points</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>To nie jest liczba: „%1”.</source>
        <translation>This is not a number: “%1”.</translation>
    </message>
</context>
<context>
    <name>workshop::PointsDialog</name>
    <message>
        <source>Punkty</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>Lista punktów</source>
        <translation>Point list</translation>
    </message>
    <message>
        <source>&amp;Dodaj</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>&amp;Usuń</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>&amp;Okrąg otworów…</source>
        <translation>Bolt-hole &amp;circle…</translation>
    </message>
    <message>
        <source>&amp;Rząd / siatka…</source>
        <translation>&amp;Row / grid…</translation>
    </message>
    <message>
        <source>&amp;Import CSV…</source>
        <translation>&amp;Import CSV…</translation>
    </message>
    <message>
        <source>&amp;Eksport CSV…</source>
        <translation>&amp;Export CSV…</translation>
    </message>
    <message>
        <source>&amp;Tolerancja zera</source>
        <translation>&amp;Zero tolerance</translation>
    </message>
    <message>
        <source>&amp;Jedź do punktu</source>
        <translation>&amp;Go to point</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Anuluj</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Nazwa</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Punkt %1, oś %2: „%3” nie jest liczbą.</source>
        <translation>Point %1, axis %2: “%3” is not a number.</translation>
    </message>
    <message>
        <source>Tolerancja zera musi być liczbą nie mniejszą od zera.</source>
        <translation>The zero tolerance must be a number not below zero.</translation>
    </message>
    <message>
        <source>Lista może mieć najwyżej %1 punktów.</source>
        <translation>The list can have at most %1 points.</translation>
    </message>
    <message>
        <source>Pliki CSV (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Eksport punktów</source>
        <translation>Export points</translation>
    </message>
    <message>
        <source>Import punktów</source>
        <translation>Import points</translation>
    </message>
    <message>
        <source>Nie można odczytać pliku: %1.</source>
        <translation>The file cannot be read: %1.</translation>
    </message>
    <message>
        <source>Plik punktów odrzucony: %1</source>
        <translation>Points file refused: %1</translation>
    </message>
    <message>
        <source>Nie można zapisać pliku: %1.</source>
        <translation>The file cannot be written: %1.</translation>
    </message>
</context>
<context>
    <name>workshop::TopView</name>
    <message>
        <source>Widok z góry X–Y</source>
        <translation>Top view X–Y</translation>
    </message>
    <message numerus="yes">
        <source>%n punktów, wybrany %1: %2</source>
        <translation>
            <numerusform>%n point, chosen %1: %2</numerusform>
            <numerusform>%n points, chosen %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n punktów, żaden nie wybrany</source>
        <translation>
            <numerusform>%n point, none chosen</numerusform>
            <numerusform>%n points, none chosen</numerusform>
        </translation>
    </message>
</context>
</TS>
