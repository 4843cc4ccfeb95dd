aqsol-table --solute H2,CO2,CH4 --T 25 --P 1
aqsol-table --T 25,100,300 --P 1,100                 # water alone
aqsol-table --solute all --T 0:300:25 --P sat,1,100:1000:100 --format tsv -o all.tsv
aqsol-table --solute all --T 25 --P 1 --format json | jq .lnkH
aqsol-table --solute CO2,CH4 --T 0:350:5 --P sat -o kh.csv --y lnkH --plot kh.png
printf 'T_C,P_bar\n25,1\n300,100\n' | aqsol-table --solute H2S --states -
printf 'well;depth;T_C;P_bar\nA-1;1200;48;120\nB-7;2500;85;250\n' >wells.csv
aqsol-table --solute CO2 --states wells.csv --keep well,depth --columns lnkH,V2,phase
aqsol-table --solute CO2 --T 25 --P 1 --units si --pressure-unit MPa
aqsol-table --solute CO2 --T 298.15,373.15 --P 1 --temperature-unit K --columns T_K,lnkH
